#include "net/route_connection_backend.h"

#include <linux/rtnetlink.h>
#include <net/if.h>
#include <net/route.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "net/messages.h"
#include "net/network_connection.h"
#include "net/route_table.h"

namespace wrenly {
namespace {

// A netlink message about one route: a default route when dstLength is 0.
// seq and flags of the header: a dump reply has the request's number and
// NLM_F_MULTI; routeFlags are the route's own (RTNH_F_LINKDOWN).
std::string RouteMessage(std::uint16_t type, std::uint8_t dstLength, std::uint32_t table, std::uint32_t device,
                         std::uint32_t seq = 0, std::uint16_t flags = 0, std::uint32_t routeFlags = 0) {
  std::string bytes(NLMSG_SPACE(sizeof(rtmsg)) + 2 * RTA_SPACE(sizeof(std::uint32_t)), '\0');
  auto* header = reinterpret_cast<nlmsghdr*>(bytes.data());
  header->nlmsg_len = static_cast<std::uint32_t>(bytes.size());
  header->nlmsg_type = type;
  header->nlmsg_seq = seq;
  header->nlmsg_flags = flags;
  auto* route = static_cast<rtmsg*>(NLMSG_DATA(header));
  route->rtm_family = AF_INET;
  route->rtm_dst_len = dstLength;
  route->rtm_table = RT_TABLE_UNSPEC;
  route->rtm_type = RTN_UNICAST;
  route->rtm_flags = routeFlags;
  auto* attribute = RTM_RTA(route);
  for (const auto& [kind, value] : {std::pair{RTA_TABLE, table}, std::pair{RTA_OIF, device}}) {
    attribute->rta_type = kind;
    attribute->rta_len = RTA_LENGTH(sizeof value);
    std::memcpy(RTA_DATA(attribute), &value, sizeof value);
    attribute = reinterpret_cast<rtattr*>(reinterpret_cast<char*>(attribute) + RTA_SPACE(sizeof value));
  }
  return bytes;
}

// The default route of the main table through device 2, as a dump reply.
std::string DumpedRoute(std::uint32_t seq, std::uint32_t device = 2) {
  return RouteMessage(RTM_NEWROUTE, 0, RT_TABLE_MAIN, device, seq, NLM_F_MULTI);
}

std::string DumpDone(std::uint32_t seq) {
  std::string bytes(NLMSG_SPACE(sizeof(int)), '\0');
  auto* header = reinterpret_cast<nlmsghdr*>(bytes.data());
  header->nlmsg_len = NLMSG_LENGTH(sizeof(int));
  header->nlmsg_type = NLMSG_DONE;
  header->nlmsg_seq = seq;
  header->nlmsg_flags = NLM_F_MULTI;
  return bytes;
}

// The kernel's answer to a request it refuses (error: a negative errno).
std::string ErrorAnswer(std::uint32_t seq, int error) {
  std::string bytes(NLMSG_SPACE(sizeof(nlmsgerr)), '\0');
  auto* header = reinterpret_cast<nlmsghdr*>(bytes.data());
  header->nlmsg_len = NLMSG_LENGTH(sizeof(nlmsgerr));
  header->nlmsg_type = NLMSG_ERROR;
  header->nlmsg_seq = seq;
  static_cast<nlmsgerr*>(NLMSG_DATA(header))->error = error;
  return bytes;
}

// A link that changed state (up or down): the kernel says no more about
// the IPv4 routes it drops with it.
std::string LinkMessage(std::uint16_t type, int index, unsigned flags) {
  std::string bytes(NLMSG_SPACE(sizeof(ifinfomsg)), '\0');
  auto* header = reinterpret_cast<nlmsghdr*>(bytes.data());
  header->nlmsg_len = NLMSG_LENGTH(sizeof(ifinfomsg));
  header->nlmsg_type = type;
  auto* link = static_cast<ifinfomsg*>(NLMSG_DATA(header));
  link->ifi_index = index;
  link->ifi_flags = flags;
  return bytes;
}

bool Apply(RouteTable& table, const std::string& message) { return table.Apply(message.data(), message.size()); }

// The table's answers to a scripted stream, without threads or sockets.
TEST(RouteTable, ALinkChangeReadsTheTableAgainAndItsAnswerReplacesTheRoutes) {
  RouteTable table;
  ASSERT_TRUE(table.DumpWanted());  // the first read
  table.DumpSent(1);
  EXPECT_FALSE(Apply(table, DumpedRoute(1)));
  EXPECT_FALSE(table.known());
  EXPECT_TRUE(Apply(table, DumpDone(1)));
  EXPECT_TRUE(table.Connected());
  EXPECT_FALSE(table.DumpWanted());

  // The link went down; the kernel dropped its route without a message.
  EXPECT_FALSE(Apply(table, LinkMessage(RTM_NEWLINK, 2, 0)));
  ASSERT_TRUE(table.DumpWanted());
  table.DumpSent(2);
  EXPECT_TRUE(table.Connected());  // until the answer is complete
  EXPECT_TRUE(Apply(table, DumpDone(2)));
  EXPECT_FALSE(table.Connected());

  // A route kept on a link without carrier carries nothing; a device's removal also reads again.
  const std::string withoutCarrier = RouteMessage(RTM_NEWROUTE, 0, RT_TABLE_MAIN, 3, 0, 0, RTNH_F_LINKDOWN);
  EXPECT_FALSE(Apply(table, withoutCarrier));
  EXPECT_FALSE(table.Connected());
  EXPECT_TRUE(Apply(table, RouteMessage(RTM_NEWROUTE, 0, RT_TABLE_MAIN, 3)));
  Apply(table, LinkMessage(RTM_DELLINK, 3, 0));
  EXPECT_TRUE(table.DumpWanted());
}

TEST(RouteTable, LostMessagesKeepTheRoutesUntilTheNewAnswerAndNeverAskTwiceAtOnce) {
  RouteTable table;
  table.DumpSent(1);
  Apply(table, DumpedRoute(1));
  Apply(table, DumpDone(1));
  ASSERT_TRUE(table.Connected());

  table.Overrun();
  ASSERT_TRUE(table.DumpWanted());
  table.DumpSent(2);
  // Lost again while that dump runs: a second request now would be refused
  // as busy, so it waits for the end of the running one.
  table.Overrun();
  EXPECT_FALSE(table.DumpWanted());
  // A notification during the dump counts for the table being read too;
  // one from another program's request with the same number is not part of the dump.
  Apply(table, RouteMessage(RTM_NEWROUTE, 0, RT_TABLE_MAIN, 4));
  Apply(table, RouteMessage(RTM_DELROUTE, 0, RT_TABLE_MAIN, 2, 2));
  Apply(table, DumpedRoute(2, 5));
  EXPECT_FALSE(Apply(table, DumpDone(2)));
  EXPECT_TRUE(table.Connected());
  ASSERT_TRUE(table.DumpWanted());  // the second overrun
  table.DumpSent(3);
  Apply(table, RouteMessage(RTM_DELROUTE, 0, RT_TABLE_MAIN, 4));
  EXPECT_TRUE(table.Connected());   // device 5 stands until the answer is complete
  EXPECT_TRUE(Apply(table, DumpDone(3)));
  EXPECT_FALSE(table.Connected());  // the new answer has no route
}

TEST(RouteTable, ARefusedDumpKeepsWhatIsKnownAndIsAskedAgainAfterAPause) {
  RouteTable table;
  table.DumpSent(1);
  Apply(table, DumpedRoute(1));
  Apply(table, DumpDone(1));
  table.Overrun();
  table.DumpSent(2);
  EXPECT_FALSE(Apply(table, ErrorAnswer(2, -EBUSY)));
  EXPECT_TRUE(table.Connected());
  EXPECT_FALSE(table.DumpWanted());
  EXPECT_TRUE(table.Paused());
  table.RetryAfterPause();
  ASSERT_TRUE(table.DumpWanted());
  table.DumpNotSent();  // the request could not even be sent
  EXPECT_TRUE(table.Paused());
  table.RetryAfterPause();
  table.DumpSent(3);
  // The kernel marks a dump cut by a table change: it is read once more.
  std::string interrupted = DumpedRoute(3);
  reinterpret_cast<nlmsghdr*>(interrupted.data())->nlmsg_flags |= NLM_F_DUMP_INTR;
  Apply(table, interrupted);
  Apply(table, DumpDone(3));
  EXPECT_TRUE(table.Connected());
  EXPECT_TRUE(table.DumpWanted());
}

// Collects the WM_NETCONNECTION_STATE broadcasts.
struct States : Receiver {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::uint64_t> got;
  States() { AddBroadcastReceiver(this); }
  ~States() override { RemoveBroadcastReceiver(this); }
  void Post(MessageId message, std::uint64_t w, std::int64_t) override {
    if (message != WM_NETCONNECTION_STATE) return;
    std::lock_guard lock(mutex);
    got.push_back(w);
    changed.notify_all();
  }
  std::size_t Count() {
    std::lock_guard lock(mutex);
    return got.size();
  }
  bool WaitFor(std::uint64_t state) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(10),
                            [&] { return std::find(got.begin(), got.end(), state) != got.end(); });
  }
};

// The backend reads an injected stream: the test plays the kernel.
class RouteBackend : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair_), 0); }
  void TearDown() override { ::close(pair_[1]); }
  void Send(const std::string& message) {
    ASSERT_EQ(::send(pair_[1], message.data(), message.size(), 0), static_cast<ssize_t>(message.size()));
  }
  // The number of the next dump request the backend sends; 0 when none
  // comes within 10 s.
  std::uint32_t NextDumpRequest() {
    pollfd p{pair_[1], POLLIN, 0};
    alignas(nlmsghdr) char buffer[256];
    if (::poll(&p, 1, 10000) != 1) return 0;
    const ssize_t n = ::recv(pair_[1], buffer, sizeof buffer, 0);
    const auto* header = reinterpret_cast<const nlmsghdr*>(buffer);
    if (n < static_cast<ssize_t>(NLMSG_LENGTH(sizeof(rtmsg))) || header->nlmsg_type != RTM_GETROUTE ||
        (header->nlmsg_flags & NLM_F_DUMP) != NLM_F_DUMP)
      return 0;
    return header->nlmsg_seq;
  }
  // Answers the first request with an empty table.
  void AnswerEmpty() {
    const std::uint32_t seq = NextDumpRequest();
    ASSERT_NE(seq, 0u);
    Send(DumpDone(seq));
  }
  bool Eventually(RouteConnectionBackend& backend, bool connected) {
    for (int i = 0; i < 500; ++i) {
      if (backend.Connected() == connected) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  int pair_[2] = {-1, -1};
};

TEST_F(RouteBackend, ConnectedExactlyWhileAMainTableDefaultRouteExists) {
  RouteConnectionBackend backend(pair_[0]);
  ASSERT_TRUE(backend.ok());
  AnswerEmpty();
  EXPECT_TRUE(Eventually(backend, false));
  ConnectionHandle held;
  ASSERT_EQ(backend.EstablishConnection({}, &held), S_OK);
  EXPECT_TRUE(held->statusChanged.Wait(std::chrono::seconds(1)));  // readable at once

  Send(RouteMessage(RTM_NEWROUTE, 24, RT_TABLE_MAIN, 2));  // not a default route
  Send(RouteMessage(RTM_NEWROUTE, 0, 100, 2));             // a default route of another table
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(backend.Connected());

  Send(RouteMessage(RTM_NEWROUTE, 0, RT_TABLE_MAIN, 2));
  Send(RouteMessage(RTM_NEWROUTE, 0, RT_TABLE_MAIN, 3));
  EXPECT_TRUE(held->statusChanged.Wait(std::chrono::seconds(10)));
  EXPECT_TRUE(Eventually(backend, true));
  std::uint32_t status = 0;
  EXPECT_EQ(backend.ConnectionStatus(held, &status), S_OK);
  EXPECT_EQ(status, kConnStatusConnected);

  // Connected until the last default route goes.
  States states;
  Send(RouteMessage(RTM_DELROUTE, 0, RT_TABLE_MAIN, 2));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(backend.Connected());
  Send(RouteMessage(RTM_DELROUTE, 0, RT_TABLE_MAIN, 3));
  EXPECT_TRUE(states.WaitFor(kConnectionReleased));
  EXPECT_EQ(backend.ConnectionStatus(held, &status), S_OK);
  EXPECT_EQ(status, kConnStatusDisconnected);
  backend.ReleaseConnection(held, false);
}

// Over the connection object: without a route the refresh waits; the route
// brings the connection up, and its loss releases it.
TEST_F(RouteBackend, TheConnectionComesUpWithTheRouteAndIsReleasedWithIt) {
  RouteConnectionBackend backend(pair_[0]);
  AnswerEmpty();
  States states;
  CNetworkConnection connection(backend);
  EXPECT_EQ(EnsureNetworkConnection(connection, false), 1);
  Send(RouteMessage(RTM_NEWROUTE, 0, RT_TABLE_MAIN, 2));
  EXPECT_TRUE(states.WaitFor(kConnectionUp));
  Send(RouteMessage(RTM_DELROUTE, 0, RT_TABLE_MAIN, 2));
  EXPECT_TRUE(states.WaitFor(kConnectionReleased));
  connection.StopConnection();
}

// A link that goes down takes its IPv4 routes without a route message; a
// refused request ("busy") changes nothing and is sent again.
TEST_F(RouteBackend, ALinkGoingDownEndsTheConnectionWithoutARouteMessage) {
  RouteConnectionBackend backend(pair_[0]);
  std::uint32_t seq = NextDumpRequest();
  ASSERT_NE(seq, 0u);
  Send(DumpedRoute(seq));
  Send(DumpDone(seq));
  ASSERT_TRUE(Eventually(backend, true));

  States states;
  Send(LinkMessage(RTM_NEWLINK, 2, 0));
  seq = NextDumpRequest();
  ASSERT_NE(seq, 0u);
  Send(ErrorAnswer(seq, -EBUSY));
  seq = NextDumpRequest();
  ASSERT_NE(seq, 0u);
  EXPECT_TRUE(backend.Connected());
  EXPECT_EQ(states.Count(), 0u);
  Send(DumpDone(seq));
  EXPECT_TRUE(states.WaitFor(kConnectionReleased));
  EXPECT_FALSE(backend.Connected());
}

// Sets the loopback device of the calling thread's network namespace up or down.
bool SetLoopbackUp(bool up) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ifreq request{};
  std::strcpy(request.ifr_name, "lo");
  bool done = fd >= 0 && ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
  if (done) {
    request.ifr_flags = static_cast<short>(up ? request.ifr_flags | IFF_UP : request.ifr_flags & ~IFF_UP);
    done = ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
  }
  if (fd >= 0) ::close(fd);
  return done;
}

// An IPv4 default route through the loopback device.
bool AddDefaultRouteThroughLoopback() {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  rtentry route{};
  char device[] = "lo";
  for (sockaddr* a : {&route.rt_dst, &route.rt_genmask}) a->sa_family = AF_INET;
  route.rt_flags = RTF_UP;
  route.rt_dev = device;
  const bool done = fd >= 0 && ::ioctl(fd, SIOCADDRT, &route) == 0;
  if (fd >= 0) ::close(fd);
  return done;
}

// In a network namespace of its own (root only; skipped where it cannot be
// made and set up) a real link goes down: the kernel drops its default
// route without a route message.
TEST(RouteBackendOfTheKernel, NoticesTheRoutesOfALinkThatWentDown) {
  std::string skipped, failed;
  std::thread isolated([&] {
    // The namespace is this thread's; the backend's reader thread inherits it.
    if (::unshare(CLONE_NEWNET) != 0) {
      skipped = std::string("no network namespace: ") + std::strerror(errno);
      return;
    }
    if (!SetLoopbackUp(true) || !AddDefaultRouteThroughLoopback()) {
      skipped = std::string("the loopback route cannot be set up: ") + std::strerror(errno);
      return;
    }
    RouteConnectionBackend backend;
    if (!backend.Connected()) failed = "no default route seen";
    if (!SetLoopbackUp(false)) failed = "the loopback device cannot be set down";
    for (int i = 0; i < 500 && backend.Connected(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (backend.Connected()) failed = "the default route of a link that went down is still counted";
  });
  isolated.join();
  if (!skipped.empty()) GTEST_SKIP() << skipped;
  EXPECT_EQ(failed, "");
}

TEST(RouteBackendOfTheKernel, AgreesWithTheIpv4RoutingTable) {
  RouteConnectionBackend backend;
  ASSERT_TRUE(backend.ok());
  std::ifstream table("/proc/net/route");
  bool ipv4Default = false;
  for (std::string device, destination, rest; table >> device >> destination && std::getline(table, rest);)
    ipv4Default = ipv4Default || destination == "00000000";
  // An IPv6-only default route would also count as connected.
  if (ipv4Default) {
    EXPECT_TRUE(backend.Connected());
  }
}

}  // namespace
}  // namespace wrenly
