#include "net/network_connection.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <vector>

#include "net/messages.h"
#include "net/scripted_connection_backend.h"

namespace wrenly {
namespace {

// Collects the WM_NETCONNECTION_STATE broadcasts of the process.
class StateRecorder : public Receiver {
 public:
  StateRecorder() { AddBroadcastReceiver(this); }
  ~StateRecorder() override { RemoveBroadcastReceiver(this); }
  void Post(MessageId message, std::uint64_t w, std::int64_t) override {
    if (message != WM_NETCONNECTION_STATE) return;
    std::lock_guard lock(mutex_);
    states_.push_back(w);
    changed_.notify_all();
  }
  // The states once `count` of them have arrived (or what came within 10 s).
  std::vector<std::uint64_t> WaitFor(size_t count) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(10), [&] { return states_.size() >= count; });
    return states_;
  }
  std::vector<std::uint64_t> states() {
    std::lock_guard lock(mutex_);
    return states_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::uint64_t> states_;
};

using States = std::vector<std::uint64_t>;

class ConnectionTest : public ::testing::Test {
 protected:
  ScriptedConnectionBackend backend_;
  StateRecorder recorder_;
  CNetworkConnection connection_{backend_};
};

TEST_F(ConnectionTest, FastPathHoldsNothingAndBroadcastsNothing) {
  for (const std::uint32_t status : {kConnStatusConnected, kConnStatusConnectionDisabled}) {
    backend_.SetProbe({S_OK, true, status});
    EXPECT_EQ(EnsureNetworkConnection(connection_, true), 0);
  }
  EXPECT_FALSE(connection_.WatcherRunning());
  EXPECT_TRUE(backend_.requests().empty());
  EXPECT_TRUE(recorder_.states().empty());
  const auto probes = backend_.probes();
  ASSERT_EQ(probes.size(), 2u);
  EXPECT_EQ(probes[0].params, kConnParamGuidDestNet | kConnParamMaxConnLatency);
  EXPECT_EQ(probes[0].flags, kConnFlagProxyHttp);
  EXPECT_EQ(probes[0].priority, kConnPriorityUserInteractive);
  EXPECT_TRUE(probes[0].disabled);
  EXPECT_FALSE(probes[0].exclusive);
  EXPECT_EQ(probes[0].maxConnLatencyMs, 4000u);
  EXPECT_EQ(probes[0].destination, (NetworkId{{1, 2, 3, 4}}));

  EXPECT_EQ(connection_.CheckFastPath(u"http://example.org/", false), S_OK);
  EXPECT_EQ(backend_.probes().back().flags, 0u);
}

TEST_F(ConnectionTest, FastPathReadsTheProxyAndForgetsItsCredentials) {
  backend_.SetProxy(S_OK, {kConnFlagProxyHttp, u"proxy.lan:8080", u"user", u"secret"});
  EXPECT_EQ(connection_.CheckFastPath(u"http://example.org/", true), S_OK);
  EXPECT_TRUE(connection_.ProxyPresent());
  const ProxyConfig config = connection_.ProxyConfiguration();
  EXPECT_EQ(config.server, u"proxy.lan:8080");
  EXPECT_EQ(config.userName, u"");
  EXPECT_EQ(config.password, u"");

  backend_.SetProxy(S_OK, {kConnFlagProxySocks5, u"socks.lan:1080", u"", u""});
  EXPECT_EQ(connection_.CheckFastPath(u"http://example.org/", true), S_OK);
  EXPECT_FALSE(connection_.ProxyPresent());
}

TEST_F(ConnectionTest, NoFastPathBringsTheConnectionUpAndHoldsItUntilDisconnected) {
  backend_.SetProbe({S_OK, true, kConnStatusNoPathToDestination});
  EXPECT_EQ(EnsureNetworkConnection(connection_, true), 1);
  EXPECT_EQ(recorder_.WaitFor(2), (States{kConnectionNoFastPath, kConnectionUp}));
  ASSERT_EQ(backend_.requests().size(), 1u);
  const ConnectionInfo request = backend_.requests()[0];
  EXPECT_EQ(request.params, kConnParamGuidDestNet);
  EXPECT_EQ(request.flags, 0xFu);
  EXPECT_FALSE(request.disabled);
  EXPECT_EQ(connection_.Url(), CNetworkConnection::kProbeUrl);

  // Waiting and connected keep the connection held.
  backend_.SetProxy(S_OK, {kConnFlagProxyHttp, u"proxy.lan:8080", u"", u""});
  backend_.ChangeStatus(kConnStatusWaitingConnection);
  backend_.ChangeStatus(kConnStatusConnected);
  backend_.ChangeStatus(kConnStatusDisconnected);
  EXPECT_EQ(recorder_.WaitFor(3), (States{kConnectionNoFastPath, kConnectionUp, kConnectionReleased}));
  connection_.StopConnection();
  EXPECT_TRUE(connection_.ProxyPresent());  // the query of the connected status ran
  EXPECT_EQ(backend_.releases(), std::vector<bool>{true});
  EXPECT_EQ(connection_.LastStatus(), static_cast<std::int32_t>(kConnStatusDisconnected));
  EXPECT_TRUE(backend_.errorReports().empty());
}

TEST_F(ConnectionTest, FailureStatusesEndTheHoldWithAnErrorReport) {
  for (const std::uint32_t failure : {0x21u, 0x29u, 0x2Fu}) {
    StateRecorder recorder;
    ASSERT_EQ(connection_.StartConnection(u"http://example.org/", false), S_OK);
    ASSERT_EQ(recorder.WaitFor(1), States{kConnectionUp});
    backend_.ChangeStatus(failure);
    EXPECT_EQ(recorder.WaitFor(2), (States{kConnectionUp, kConnectionReleased}));
    connection_.StopConnection();
    EXPECT_EQ(backend_.errorReports().back(), static_cast<std::int32_t>(failure));
    EXPECT_FALSE(backend_.releases().back());
  }
  EXPECT_EQ(backend_.errorReports().size(), 3u);
}

TEST_F(ConnectionTest, FailedRequestReportsAndReleases) {
  backend_.SetRequest({E_FAIL, kConnStatusConnectionFailed, false});
  ASSERT_EQ(connection_.StartConnection(u"http://example.org/", false), S_OK);
  EXPECT_EQ(recorder_.WaitFor(1), States{kConnectionReleased});
  connection_.StopConnection();
  EXPECT_EQ(backend_.errorReports(), std::vector<std::int32_t>{kConnStatusConnectionFailed});
  EXPECT_TRUE(backend_.releases().empty());  // nothing was held
}

TEST_F(ConnectionTest, UnreadableStatusEndsTheHold) {
  ASSERT_EQ(connection_.StartConnection(u"http://example.org/", false), S_OK);
  ASSERT_EQ(recorder_.WaitFor(1), States{kConnectionUp});
  backend_.FailNextStatusRead(E_FAIL);
  EXPECT_EQ(recorder_.WaitFor(2), (States{kConnectionUp, kConnectionReleased}));
  connection_.StopConnection();
  EXPECT_EQ(connection_.LastStatus(), E_FAIL);
  EXPECT_EQ(backend_.releases(), std::vector<bool>{false});
}

TEST_F(ConnectionTest, StopReleasesAndANewStartReplacesTheOldWatcher) {
  ASSERT_EQ(connection_.StartConnection(u"http://one.example/", false), S_OK);
  ASSERT_EQ(recorder_.WaitFor(1), States{kConnectionUp});
  ASSERT_EQ(connection_.StartConnection(u"http://two.example/", true), S_OK);
  EXPECT_EQ(recorder_.WaitFor(3), (States{kConnectionUp, kConnectionReleased, kConnectionUp}));
  EXPECT_EQ(connection_.Url(), u"http://two.example/");
  EXPECT_TRUE(connection_.WatcherRunning());
  EXPECT_EQ(connection_.StopConnection(), S_OK);
  EXPECT_FALSE(connection_.WatcherRunning());
  EXPECT_EQ(recorder_.states().size(), 4u);
  EXPECT_EQ(backend_.releases(), (std::vector<bool>{false, false}));
  EXPECT_EQ(connection_.StopConnection(), S_OK);  // nothing left to stop
}

TEST_F(ConnectionTest, StopWhileConnectingAnnouncesNoConnection) {
  backend_.SetRequest({S_OK, kConnStatusConnected, true});
  ASSERT_EQ(connection_.StartConnection(u"http://example.org/", false), S_OK);
  EXPECT_EQ(connection_.StopConnection(), S_OK);
  EXPECT_EQ(recorder_.WaitFor(1), States{kConnectionReleased});
  EXPECT_TRUE(backend_.errorReports().empty());
}

TEST_F(ConnectionTest, PathTestWithoutAnswerOrWithoutMapStillLetsTheRefreshGoOn) {
  backend_.SetProbe({S_OK, false, kConnStatusConnected});
  EXPECT_EQ(EnsureNetworkConnection(connection_, false), 1);
  EXPECT_EQ(recorder_.WaitFor(2), (States{kConnectionUnusable, kConnectionUp}));
  connection_.StopConnection();

  // No watcher can start, so nobody would ever announce a connection.
  StateRecorder recorder;
  backend_.SetMapResult(E_FAIL);
  EXPECT_EQ(connection_.CheckFastPath(u"http://example.org/", false), E_FAIL);
  EXPECT_EQ(EnsureNetworkConnection(connection_, false), 0);
  EXPECT_EQ(recorder.states(), States{kConnectionUnusable});
  EXPECT_FALSE(connection_.WatcherRunning());
}

TEST(AlwaysConnected, IsUsableAtOnce) {
  StateRecorder recorder;
  CNetworkConnection connection(AlwaysConnectedBackend());
  EXPECT_EQ(EnsureNetworkConnection(connection, false), 0);
  EXPECT_TRUE(recorder.states().empty());
  EXPECT_EQ(connection.StartConnection(u"http://example.org/", false), S_OK);
  EXPECT_EQ(recorder.WaitFor(1), States{kConnectionUp});
  connection.StopConnection();
  EXPECT_EQ(recorder.WaitFor(2), (States{kConnectionUp, kConnectionReleased}));
}

TEST(Events, WaitForAnyReturnsTheFirstSetAndConsumesAutoReset) {
  Event manual(Event::Mode::kManualReset), automatic(Event::Mode::kAutoReset);
  EXPECT_EQ(WaitForAny({&manual, &automatic}, std::chrono::milliseconds(1)), kWaitTimedOut);
  automatic.Set();
  EXPECT_EQ(WaitForAny({&manual, &automatic}, kWaitForever), 1);
  EXPECT_FALSE(automatic.IsSet());
  manual.Set();
  EXPECT_EQ(WaitForAny({&manual, &automatic}, kWaitForever), 0);
  EXPECT_TRUE(manual.IsSet());
  manual.Reset();
  EXPECT_FALSE(manual.Wait(std::chrono::milliseconds(1)));
}

}  // namespace
}  // namespace wrenly
