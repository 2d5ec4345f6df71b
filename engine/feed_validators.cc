#include "engine/feed_validators.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <utility>
#include <vector>

#include "store/channel_files.h"

namespace wrenly {
namespace {

constexpr std::string_view kEtag = "ETag: ";
constexpr std::string_view kLastModified = "Last-Modified: ";

bool Printable(std::string_view value) {
  for (char c : value)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  return true;
}

bool Empty(const HttpValidators& v) { return v.etag.empty() && v.lastModified.empty(); }

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

// The two-line file of earlier versions: "ETag: <value>", "Last-Modified: <value>".
HttpValidators ReadChannelFile(const std::string& path) {
  HttpValidators validators;
  std::ifstream in(path, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    const std::string_view text = line;
    if (text.starts_with(kEtag) && Printable(text.substr(kEtag.size())))
      validators.etag = text.substr(kEtag.size());
    else if (text.starts_with(kLastModified) && Printable(text.substr(kLastModified.size())))
      validators.lastModified = text.substr(kLastModified.size());
  }
  return validators;
}

}  // namespace

FeedValidatorTable::FeedValidatorTable(std::string channelFolder)
    : folder_(std::move(channelFolder)), entries_(Load(folder_ + "/" + kFeedValidatorsFile)) {}

FeedValidatorTable::Entries FeedValidatorTable::Load(const std::string& path) {
  Entries entries;
  std::ifstream in(path, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    const std::vector<std::string_view> fields = SplitTabs(line);
    if (fields.size() != 4) continue;
    int channel = 0;
    const auto [end, error] = std::from_chars(fields[0].data(), fields[0].data() + fields[0].size(), channel);
    if (error != std::errc() || end != fields[0].data() + fields[0].size()) continue;
    if (!Printable(fields[1]) || !Printable(fields[2]) || !Printable(fields[3])) continue;
    entries[channel] = {std::string(fields[1]), {std::string(fields[2]), std::string(fields[3])}};
  }
  return entries;
}

std::string FeedValidatorTable::ChannelFilePath(int channel) const {
  return folder_ + "/" + ChannelFileName(channel, ".http");
}

HttpValidators FeedValidatorTable::Get(int channel, std::string_view url) {
  std::lock_guard lock(mutex_);
  if (const auto entry = entries_.find(channel); entry != entries_.end())
    return entry->second.url == url ? entry->second.validators : HttpValidators{};
  const HttpValidators old = ReadChannelFile(ChannelFilePath(channel));
  if (!Empty(old)) takenOver_[channel] = {std::string(url), old};
  return old;
}

void FeedValidatorTable::Set(int channel, std::string_view url, const HttpValidators& validators) {
  const bool usable = Printable(url) && Printable(validators.etag) && Printable(validators.lastModified);
  std::lock_guard lock(mutex_);
  if (Empty(validators) || !usable)
    changes_[channel] = std::nullopt;
  else
    changes_[channel] = Entry{std::string(url), validators};
}

bool FeedValidatorTable::Save(Flush flush) {
  std::lock_guard lock(mutex_);
  if (changes_.empty() && takenOver_.empty()) return true;
  Entries onDisk = Load(folder_ + "/" + kFeedValidatorsFile);
  for (const auto& [channel, entry] : takenOver_) onDisk.try_emplace(channel, entry);
  for (const auto& [channel, change] : changes_) {
    if (change)
      onDisk[channel] = *change;
    else
      onDisk.erase(channel);
  }
  std::string text;
  for (const auto& [channel, entry] : onDisk) {
    text += std::to_string(channel) + '\t' + entry.url + '\t' + entry.validators.etag + '\t' +
            entry.validators.lastModified + '\n';
  }
  if (!WriteFileAtomically(folder_ + "/" + kFeedValidatorsFile, text, nullptr, flush)) return false;
  for (const auto& [channel, entry] : takenOver_) std::remove(ChannelFilePath(channel).c_str());
  entries_ = std::move(onDisk);
  changes_.clear();
  takenOver_.clear();
  return true;
}

}  // namespace wrenly
