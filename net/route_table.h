// The default routes of the kernel's main routing table as the netlink
// route stream tells them: table dumps, route and link notifications, lost
// messages. The kernel drops the IPv4 routes of a link that goes down
// without a word, so every link change (and every overrun) asks for a new
// dump, whose answer then replaces what was known. No I/O of its own: the
// reader feeds it and sends the dump requests it asks for.
// REQUIRES: external synchronization.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

namespace wrenly {

class RouteTable {
 public:
  // Feeds the messages of one read. True when Connected() changed.
  bool Apply(const char* data, std::size_t size);
  // The socket lost messages (ENOBUFS): the table is read again; until that
  // dump ends, what was known stands.
  void Overrun();

  // Whether a dump request should be sent now: one is wanted, none runs,
  // and the last one was not refused ("busy") or could not be sent.
  bool DumpWanted() const { return dumpWanted_ && dumpSeq_ == 0 && !busy_; }
  // Whether the last request was refused or not sent: the reader asks again
  // after a pause (RetryAfterPause), since no message ends that state.
  bool Paused() const { return dumpWanted_ && busy_; }
  void RetryAfterPause() { busy_ = false; }
  // The reader sent a dump request with this sequence number (not 0), or
  // could not send it.
  void DumpSent(std::uint32_t seq);
  void DumpNotSent();

  // The first dump has ended (or the stream has).
  bool known() const { return known_; }
  void SetKnown() { known_ = true; }
  bool Connected() const { return known_ && !routes_.empty(); }

 private:
  void ApplyRoute(std::uint16_t type, std::uint32_t seq, const std::string& key);
  void EndDump(int error);

  std::set<std::string> routes_;  // one key per default route
  std::set<std::string> fresh_;   // the routes of the running dump
  std::uint32_t dumpSeq_ = 0;     // the running dump, 0 for none
  bool dumpWanted_ = true;        // the table must be read (again)
  bool dumpInconsistent_ = false; // the kernel marked the running dump as interrupted
  bool busy_ = false;             // pause before the next request
  bool known_ = false;
};

}  // namespace wrenly
