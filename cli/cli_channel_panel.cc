#include "cli/cli_channel_panel.h"


#include "engine/messages.h"
#include "platform/text.h"
#include "reader/reader_data.h"

namespace wrenly::cli {

std::vector<ChannelRow> LoadCatalogChannels() {
  std::vector<reader::CatalogEntry> entries;
  reader::ReaderData::Current().ListChannels(entries);
  std::vector<ChannelRow> rows;
  for (const reader::CatalogEntry& entry : entries) {
    ChannelRow row;
    row.number = entry.Number();
    row.title = entry.attributes.count(u"text") ? entry.Get(u"text") : entry.Get(u"title");
    row.url = entry.Get(u"xmlUrl");
    if (row.number > 0 && !row.url.empty()) rows.push_back(std::move(row));
  }
  return rows;
}

CliChannelPanel::CliChannelPanel(std::vector<ChannelRow> rows) : rows_(std::move(rows)) {}

int CliChannelPanel::RowCount() {
  std::lock_guard lock(mutex_);
  return static_cast<int>(rows_.size());
}

int CliChannelPanel::ChannelNumber(int row) {
  std::lock_guard lock(mutex_);
  return rows_.at(row).number;
}

std::u16string CliChannelPanel::Text(int row, int column) {
  std::lock_guard lock(mutex_);
  const ChannelRow& r = rows_.at(row);
  switch (column) {
    case kColumnTitle: return r.title;
    case kColumnCounts: return r.counts;
    case kColumnFeedUrl: return r.url;
    case kColumnHasUnread: return r.hasUnread;
    case kColumnSiteIcon: return r.siteIcon;
    default: return {};
  }
}

void CliChannelPanel::SetText(int row, int column, const std::u16string& text) {
  std::lock_guard lock(mutex_);
  ChannelRow& r = rows_.at(row);
  if (column == kColumnCounts) r.counts = text;
  if (column == kColumnHasUnread) r.hasUnread = text;
  if (column == kColumnSiteIcon) r.siteIcon = text;
}

void CliChannelPanel::SetIcon(int row, int icon) {
  std::lock_guard lock(mutex_);
  rows_.at(row).icon = icon;
}

void CliChannelPanel::SetLastError(int row, const std::u16string& text) {
  std::lock_guard lock(mutex_);
  rows_.at(row).error = text;
}

int CliChannelPanel::Target() {
  std::lock_guard lock(mutex_);
  return target_;
}

void CliChannelPanel::SetTarget(int row) {
  std::lock_guard lock(mutex_);
  target_ = row;
}

void CliChannelPanel::Post(MessageId message, std::uint64_t wParam, std::int64_t lParam) {
  if (message != WM_CHANNEL_COUNTS) return;
  std::lock_guard lock(mutex_);
  if (wParam >= rows_.size()) return;
  rows_[wParam].total = static_cast<int>(lParam & 0xFFFF);
  rows_[wParam].unread = static_cast<int>((lParam >> 16) & 0xFFFF);
}

std::vector<ChannelRow> CliChannelPanel::Rows() {
  std::lock_guard lock(mutex_);
  return rows_;
}

}  // namespace wrenly::cli
