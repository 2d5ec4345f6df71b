// What the sync keeps in the data root beside the catalog: the journal of
// local changes not yet sent ("Sync/Journal.txt", appended and flushed line
// by line, so a restart or a kill keeps every change made), the state of the
// last sync ("Sync/Feeds.txt": the highest article id seen and each server
// feed's channel), and each channel's server article ids ("Ch%03d.sid",
// id and link per line, beside the unchanged item file). The caller holds
// the data root's lock.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace wrenly::reader {

struct JournalEntry {
  enum Kind : char { kRead = 'r', kUnread = 'u', kUnsubscribe = 'x' };
  Kind kind = kRead;
  std::int64_t id = 0;  // an article's id, or a feed's for kUnsubscribe
};

// The journal's entries and how many bytes of the file they took, so that
// entries appended meanwhile survive DropJournalHead.
struct JournalRead {
  std::vector<JournalEntry> entries;
  std::uintmax_t bytes = 0;
};

struct SyncFeedState {
  std::string account;               // the server and user synced with ("URL USER")
  std::int64_t sinceId = 0;          // the highest article id seen
  std::map<std::int64_t, int> feeds; // server feed id -> channel number
  // Addresses of local channels the server refused to subscribe to; they
  // stay local and are not offered again.
  std::set<std::string> refused;
  std::string session;  // the server session the last sync kept open
};

class SyncState {
 public:
  explicit SyncState(std::string root);

  // True once the data root has synced (its "Sync" folder exists): only
  // then are local marks journaled.
  bool Active() const;
  bool Activate() const;

  // Appends and flushes; false when it could not be written.
  bool Append(const std::vector<JournalEntry>& entries) const;
  JournalRead ReadJournal() const;
  // Removes the first `bytes` of the journal (the entries just sent).
  bool DropJournalHead(std::uintmax_t bytes) const;

  // Forgets the journal, the state and every channel's article ids: the
  // next sync starts afresh (another server's ids mean nothing here).
  bool Reset() const;

  SyncFeedState ReadFeeds() const;
  bool WriteFeeds(const SyncFeedState& state) const;
  // Drops the kept server session from the state (the account went).
  bool ForgetSession() const;

  // The channel's article ids by link and links by id.
  std::unordered_map<std::u16string, std::vector<std::int64_t>> IdsByLink(int channel) const;
  std::unordered_map<std::int64_t, std::u16string> LinksById(int channel) const;
  bool AppendIds(int channel, const std::vector<std::pair<std::int64_t, std::u16string>>& ids) const;

 private:
  std::string SidePath(int channel) const;
  std::string folder_;
  std::string channels_;
};

// Journals a local mark of one item (by link) or of every item of the
// channel (empty link) when the data root takes part in a sync and the items
// have article ids. The caller holds the lock exclusively. False when the
// journal could not be written.
bool JournalMark(const std::string& root, int channel, bool read, std::u16string_view link);
// Journals the unsubscription of a synced channel; same conditions.
bool JournalUnsubscribe(const std::string& root, int channel);

}  // namespace wrenly::reader
