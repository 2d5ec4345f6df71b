#include "reader/refresh.h"

#include <chrono>
#include <thread>

#include "engine/full_text_job.h"
#include "engine/messages.h"
#include "platform/text.h"
#include "reader/account.h"
#include "reader/reader_data.h"
#include "reader/sync.h"

namespace wrenly::reader {
namespace {

// With an account, a refresh is a sync: nothing when the data root has no
// account, else the first line of the failure's message (the sentence the
// channel list translates), empty when the sync was done.
std::optional<std::u16string> SyncFirst() {
  const std::string root = ReaderData::Current().root();
  const ValueResult<std::optional<Account>> account = LoadAccount(root);
  if (account.done() && !account.value) return std::nullopt;
  const Result synced = account.done() ? Sync(root, *account.value).result : account.result;
  if (synced.done()) return std::u16string();
  return Utf8ToUtf16(synced.message.substr(0, synced.message.find('\n')));
}

}  // namespace

Refresh::Refresh(IChannelPanel& panel, Receiver* view)
    : panel_(panel),
      ownDownloads_(std::make_unique<CDownloadManager>(RunFullTextJob)),
      downloads_(*ownDownloads_),
      tap_(*this, view),
      controller_(panel, downloads_, &tap_) {
  controller_.SetSync(SyncFirst);
}

Refresh::Refresh(IChannelPanel& panel, Receiver* view, CDownloadManager& downloads)
    : panel_(panel), downloads_(downloads), tap_(*this, view), controller_(panel, downloads_, &tap_) {
  controller_.SetSync(SyncFirst);
}

Refresh::~Refresh() {
  controller_.Abort();
  controller_.WaitUntilDone();
  StoreCounts();
}

void Refresh::Toggle(int row) {
  if (!controller_.running()) panel_.SetTarget(row);
  controller_.ToggleRefresh();
}

void Refresh::Abort() { controller_.Abort(); }

void Refresh::Wait() {
  controller_.WaitUntilDone();
  // The last job may still run after the queue emptied.
  while (!downloads_.IsDrained()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

Result Refresh::StoreCounts() {
  std::map<std::u16string, ChannelCountValues> counts;
  {
    std::lock_guard lock(mutex_);
    counts.swap(counts_);
  }
  if (counts.empty()) return Result::Done();
  Result stored = ReaderData::Current().StoreCounts(counts);
  if (!stored.done()) {
    // Kept for the next save; counts that arrived meanwhile are newer.
    std::lock_guard lock(mutex_);
    counts_.merge(counts);
  }
  return stored;
}

void Refresh::Post(MessageId message, std::uint64_t wParam, std::int64_t lParam) {
  controller_.Post(message, wParam, lParam);
}

void Refresh::CountsTap::Post(MessageId message, std::uint64_t wParam, std::int64_t lParam) {
  if (message == WM_CHANNEL_COUNTS) {
    // wParam is a row of the refresh; the panel keeps its address for the
    // whole refresh, even when its list was reloaded meanwhile.
    const std::u16string url = owner_.panel_.Text(static_cast<int>(wParam), kColumnFeedUrl);
    if (!url.empty()) {
      std::lock_guard lock(owner_.mutex_);
      owner_.counts_[url] = {static_cast<int>(lParam & 0xFFFF), static_cast<int>((lParam >> 16) & 0xFFFF)};
    }
  } else if (message == WM_REFRESH_DONE) {
    owner_.StoreCounts();
  }
  if (view_ != nullptr) view_->Post(message, wParam, lParam);
}

}  // namespace wrenly::reader
