#include "net/route_table.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace wrenly {
namespace {

// The default route a message describes, as a key (family, output device,
// gateway, metric); false for any other route.
bool DefaultRouteKey(const nlmsghdr* header, std::string& key) {
  if (header->nlmsg_len < NLMSG_LENGTH(sizeof(rtmsg))) return false;
  const auto* route = static_cast<const rtmsg*>(NLMSG_DATA(header));
  if (route->rtm_dst_len != 0 || route->rtm_type != RTN_UNICAST) return false;
  std::uint32_t table = route->rtm_table;
  key.assign(1, static_cast<char>(route->rtm_family));
  int length = static_cast<int>(RTM_PAYLOAD(header));
  for (const rtattr* a = RTM_RTA(route); RTA_OK(a, length); a = RTA_NEXT(a, length)) {
    const auto* data = static_cast<const char*>(RTA_DATA(a));
    if (a->rta_type == RTA_TABLE && RTA_PAYLOAD(a) >= sizeof table) {
      std::memcpy(&table, data, sizeof table);
    } else if (a->rta_type == RTA_OIF || a->rta_type == RTA_GATEWAY || a->rta_type == RTA_PRIORITY) {
      key += static_cast<char>(a->rta_type);
      key.append(data, RTA_PAYLOAD(a));
    }
  }
  return table == RT_TABLE_MAIN;
}

// A route whose link has no carrier (or whose next hop is dead) stays in
// the table but carries no traffic.
bool Usable(const nlmsghdr* header) {
  const auto* route = static_cast<const rtmsg*>(NLMSG_DATA(header));
  return header->nlmsg_type == RTM_NEWROUTE && (route->rtm_flags & (RTNH_F_DEAD | RTNH_F_LINKDOWN)) == 0;
}

void Update(std::set<std::string>& routes, const std::string& key, bool present) {
  if (present)
    routes.insert(key);
  else
    routes.erase(key);
}

int ErrorOf(const nlmsghdr* header) {
  if (header->nlmsg_len < NLMSG_LENGTH(sizeof(nlmsgerr))) return -EINVAL;
  return static_cast<const nlmsgerr*>(NLMSG_DATA(header))->error;
}

}  // namespace

bool RouteTable::Apply(const char* data, std::size_t size) {
  const bool before = Connected();
  int length = static_cast<int>(size);
  std::string key;
  for (auto* h = reinterpret_cast<const nlmsghdr*>(data); NLMSG_OK(h, length); h = NLMSG_NEXT(h, length)) {
    // Dump replies carry the request's number and the multi-part flag;
    // notifications caused by other programs' requests carry their numbers.
    const bool ofDump = dumpSeq_ != 0 && h->nlmsg_seq == dumpSeq_ &&
                        ((h->nlmsg_flags & NLM_F_MULTI) != 0 || h->nlmsg_type == NLMSG_ERROR);
    if (ofDump && (h->nlmsg_flags & NLM_F_DUMP_INTR) != 0) dumpInconsistent_ = true;
    switch (h->nlmsg_type) {
      case NLMSG_DONE:
        if (ofDump) EndDump(0);
        break;
      case NLMSG_ERROR:
        if (ofDump) EndDump(ErrorOf(h));
        break;
      case RTM_NEWLINK:
      case RTM_DELLINK:
        dumpWanted_ = true;
        break;
      case RTM_NEWROUTE:
      case RTM_DELROUTE:
        if (!DefaultRouteKey(h, key)) break;
        if (ofDump) {
          Update(fresh_, key, Usable(h));
        } else {
          Update(routes_, key, Usable(h));
          if (dumpSeq_ != 0) Update(fresh_, key, Usable(h));
        }
        break;
      default:
        break;
    }
  }
  return before != Connected();
}

void RouteTable::EndDump(int error) {
  if (error == 0) {
    routes_ = std::move(fresh_);
    known_ = true;
    // Messages lost or a table changed while it was read: read it again.
    if (dumpInconsistent_) dumpWanted_ = true;
  } else if (error == -EBUSY || error == -EINTR) {
    // Another dump still runs on this socket, or the kernel cut this one
    // short: what was known stands until a new dump succeeds.
    dumpWanted_ = true;
    busy_ = true;
  } else {
    known_ = true;  // the kernel will not tell; keep what is known
  }
  fresh_.clear();
  dumpSeq_ = 0;
  dumpInconsistent_ = false;
}

void RouteTable::Overrun() { dumpWanted_ = true; }

void RouteTable::DumpSent(std::uint32_t seq) {
  dumpSeq_ = seq;
  dumpWanted_ = false;
  dumpInconsistent_ = false;
  busy_ = false;
  fresh_.clear();
}

void RouteTable::DumpNotSent() { busy_ = true; }

}  // namespace wrenly
