#include "net/route_connection_backend.h"

#include <linux/rtnetlink.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "net/messages.h"
#include "net/network_connection.h"

namespace wrenly {
namespace {

// A netlink message about one route: a default route when dstLength is 0.
std::string RouteMessage(std::uint16_t type, std::uint8_t dstLength, std::uint32_t table, std::uint32_t device) {
  std::string bytes(NLMSG_SPACE(sizeof(rtmsg)) + 2 * RTA_SPACE(sizeof(std::uint32_t)), '\0');
  auto* header = reinterpret_cast<nlmsghdr*>(bytes.data());
  header->nlmsg_len = static_cast<std::uint32_t>(bytes.size());
  header->nlmsg_type = type;
  auto* route = static_cast<rtmsg*>(NLMSG_DATA(header));
  route->rtm_family = AF_INET;
  route->rtm_dst_len = dstLength;
  route->rtm_table = RT_TABLE_UNSPEC;
  route->rtm_type = RTN_UNICAST;
  auto* attribute = RTM_RTA(route);
  for (const auto& [kind, value] : {std::pair{RTA_TABLE, table}, std::pair{RTA_OIF, device}}) {
    attribute->rta_type = kind;
    attribute->rta_len = RTA_LENGTH(sizeof value);
    std::memcpy(RTA_DATA(attribute), &value, sizeof value);
    attribute = reinterpret_cast<rtattr*>(reinterpret_cast<char*>(attribute) + RTA_SPACE(sizeof value));
  }
  return bytes;
}

std::string DumpDone() {
  std::string bytes(NLMSG_SPACE(0), '\0');
  auto* header = reinterpret_cast<nlmsghdr*>(bytes.data());
  header->nlmsg_len = NLMSG_LENGTH(0);
  header->nlmsg_type = NLMSG_DONE;
  return bytes;
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
  Send(DumpDone());
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
  Send(DumpDone());
  States states;
  CNetworkConnection connection(backend);
  EXPECT_EQ(EnsureNetworkConnection(connection, false), 1);
  Send(RouteMessage(RTM_NEWROUTE, 0, RT_TABLE_MAIN, 2));
  EXPECT_TRUE(states.WaitFor(kConnectionUp));
  Send(RouteMessage(RTM_DELROUTE, 0, RT_TABLE_MAIN, 2));
  EXPECT_TRUE(states.WaitFor(kConnectionReleased));
  connection.StopConnection();
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
