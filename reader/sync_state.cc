#include "reader/sync_state.h"

#include <algorithm>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/text.h"
#include "store/channel_files.h"

namespace wrenly::reader {
namespace {

bool AppendFlushed(const std::string& path, const std::string& text) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ok = ::fsync(fd) == 0 && ok;
  ::close(fd);
  return ok;
}

// Writes a temporary file, flushes it and renames it over the path.
bool ReplaceFlushed(const std::string& path, const std::string& text) {
  const std::string temp = path + ".new";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ok = ::fsync(fd) == 0 && ok;
  ::close(fd);
  if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

SyncState::SyncState(std::string root) : folder_(root + "/Sync"), channels_(root + "/ChannelData") {}

bool SyncState::Active() const { return std::filesystem::is_directory(folder_); }

bool SyncState::Activate() const {
  std::error_code ec;
  std::filesystem::create_directories(folder_, ec);
  return Active();
}

bool SyncState::Append(const std::vector<JournalEntry>& entries) const {
  if (entries.empty()) return true;
  std::string text;
  for (const JournalEntry& entry : entries) text += std::string(1, entry.kind) + ' ' + std::to_string(entry.id) + '\n';
  return AppendFlushed(folder_ + "/Journal.txt", text);
}

JournalRead SyncState::ReadJournal() const {
  JournalRead read;
  const std::string text = ReadAll(folder_ + "/Journal.txt");
  // Only whole lines count: a kill may leave half a line at the end.
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = text.substr(start, end - start);
    if (line.size() > 2 && (line[0] == 'r' || line[0] == 'u' || line[0] == 'x') && line[1] == ' ') {
      const std::int64_t id = std::atoll(line.c_str() + 2);
      if (id > 0) read.entries.push_back({static_cast<JournalEntry::Kind>(line[0]), id});
    }
    read.bytes = end + 1;
  }
  return read;
}

bool SyncState::DropJournalHead(std::uintmax_t bytes) const {
  const std::string path = folder_ + "/Journal.txt";
  const std::string text = ReadAll(path);
  return ReplaceFlushed(path, bytes < text.size() ? text.substr(bytes) : std::string());
}

bool SyncState::Reset() const {
  std::error_code ec;
  bool ok = true;
  for (const char* name : {"/Journal.txt", "/Feeds.txt"}) {
    std::filesystem::remove(folder_ + name, ec);
    ok = ok && !ec;
  }
  for (const auto& file : std::filesystem::directory_iterator(channels_, ec))
    if (file.path().extension() == ".sid") ok = std::filesystem::remove(file.path(), ec) && ok;
  return ok;
}

SyncFeedState SyncState::ReadFeeds() const {
  SyncFeedState state;
  std::istringstream in(ReadAll(folder_ + "/Feeds.txt"));
  std::string word;
  while (in >> word) {
    if (word == "account") {
      in >> std::ws;
      std::getline(in, state.account);
    } else if (word == "since") {
      in >> state.sinceId;
    } else if (word == "feed") {
      std::int64_t id = 0;
      int channel = 0;
      if (in >> id >> channel) state.feeds[id] = channel;
    } else if (word == "session") {
      in >> state.session;
    } else if (word == "refused") {
      std::string url;
      in >> std::ws;
      if (std::getline(in, url) && !url.empty()) state.refused.insert(url);
    }
  }
  return state;
}

bool SyncState::WriteFeeds(const SyncFeedState& state) const {
  std::string text = "account " + state.account + "\nsince " + std::to_string(state.sinceId) + '\n';
  for (const auto& [id, channel] : state.feeds) text += "feed " + std::to_string(id) + ' ' + std::to_string(channel) + '\n';
  // Words from a server or a catalog go in only as one word or one line, so
  // none can add a line of its own.
  const auto plain = [](const std::string& text, bool spaces) {
    return std::none_of(text.begin(), text.end(), [spaces](unsigned char c) {
      return c < 0x20 || c == 0x7f || (!spaces && c == ' ');
    });
  };
  for (const std::string& url : state.refused)
    if (plain(url, true)) text += "refused " + url + '\n';
  if (!state.session.empty() && plain(state.session, false)) text += "session " + state.session + '\n';
  return ReplaceFlushed(folder_ + "/Feeds.txt", text);
}

bool SyncState::ForgetSession() const {
  SyncFeedState state = ReadFeeds();
  if (state.session.empty()) return true;
  state.session.clear();
  return WriteFeeds(state);
}

std::string SyncState::SidePath(int channel) const { return channels_ + "/" + ChannelFileName(channel, ".sid"); }

std::unordered_map<std::u16string, std::vector<std::int64_t>> SyncState::IdsByLink(int channel) const {
  std::unordered_map<std::u16string, std::vector<std::int64_t>> ids;
  for (const auto& [id, link] : LinksById(channel)) ids[link].push_back(id);
  return ids;
}

std::unordered_map<std::int64_t, std::u16string> SyncState::LinksById(int channel) const {
  std::unordered_map<std::int64_t, std::u16string> links;
  const std::string text = ReadAll(SidePath(channel));
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::size_t tab = text.find('\t', start);
    if (tab == std::string::npos || tab > end) continue;
    const std::int64_t id = std::atoll(text.c_str() + start);
    if (id > 0) links[id] = Utf8ToUtf16(text.substr(tab + 1, end - tab - 1));
  }
  return links;
}

bool SyncState::AppendIds(int channel, const std::vector<std::pair<std::int64_t, std::u16string>>& ids) const {
  if (ids.empty()) return true;
  std::string text;
  for (const auto& [id, link] : ids) text += std::to_string(id) + '\t' + Utf16ToUtf8(link) + '\n';
  return AppendFlushed(SidePath(channel), text);
}

bool JournalMark(const std::string& root, int channel, bool read, std::u16string_view link) {
  const SyncState state(root);
  if (!state.Active()) return true;
  std::vector<JournalEntry> entries;
  const JournalEntry::Kind kind = read ? JournalEntry::kRead : JournalEntry::kUnread;
  for (const auto& [id, itemLink] : state.LinksById(channel))
    if (link.empty() || itemLink == link) entries.push_back({kind, id});
  return state.Append(entries);
}

bool JournalUnsubscribe(const std::string& root, int channel) {
  const SyncState state(root);
  if (!state.Active()) return true;
  std::vector<JournalEntry> entries;
  for (const auto& [feed, number] : state.ReadFeeds().feeds)
    if (number == channel) entries.push_back({JournalEntry::kUnsubscribe, feed});
  return state.Append(entries);
}

}  // namespace wrenly::reader
