// The refresh controller's control flow: Abort, the scheduled trigger, the
// connection test calling back into the controller, and a refresh whose
// full-text worker is missing.
#include <cstdlib>
#include <future>

#include "engine/refresh_abort.h"
#include "engine/refresh_fixture.h"
#include "net/messages.h"
#include "net/network_connection.h"
#include "net/scripted_connection_backend.h"

namespace wrenly {
namespace {

using namespace testing;

// Runs body on a thread of its own; one still running after 30 s has hung,
// and the test binary ends instead of hanging the suite.
void WithinThirtySeconds(std::function<void()> body) {
  auto done = std::async(std::launch::async, std::move(body));
  if (done.wait_for(std::chrono::seconds(30)) == std::future_status::timeout) {
    ADD_FAILURE() << "hung";
    std::_Exit(1);
  }
  done.get();
}

TEST_F(Refresh, AbortNeverStartsARefreshAndTheScheduleNeverCancelsOne) {
  site_.Handle("/slow.xml", [&](const httplib::Request&, httplib::Response& res) { Trickle("<?xml", res); });
  panel_.AddRow(100, u"Slow", site_.Url("/slow.xml"));
  CRefreshController controller(panel_, manager_, &view_);
  controller.Abort();
  EXPECT_FALSE(controller.running());
  EXPECT_EQ(site_.Requests("/slow.xml"), 0);

  controller.Post(WM_REFRESH_SCHEDULED, 0, 0);
  while (site_.Requests("/slow.xml") == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  controller.Post(WM_REFRESH_SCHEDULED, 0, 0);  // a trigger during the refresh: ignored
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_TRUE(controller.running());
  EXPECT_FALSE(IsRefreshAborted());
  controller.Abort();
  controller.WaitUntilDone();
  EXPECT_EQ(panel_.Icon(0), kIconNotUpdated);
  EXPECT_EQ(site_.Requests("/slow.xml"), 1);
  EXPECT_EQ(view_.Count(WM_REFRESH_DONE), 1);
}

// A connection backend that has to bring the connection up: the connection
// test broadcasts "no fast path" and then "up" to the controller, which is a
// broadcast receiver, while its own ToggleRefresh is still running.
TEST_F(Refresh, TheConnectionTestMayCallBackIntoTheController) {
  ASSERT_TRUE(SetSettingInt(setting::kDownloadFulltext, 0));
  site_.Serve("/f.xml", RssFeed("One", site_.UrlUtf8("/"), "", {Item("a1", "x")}));
  panel_.AddRow(100, u"One", site_.Url("/f.xml"));
  ScriptedConnectionBackend backend;
  backend.SetProbe({S_OK, true, kConnStatusNoPathToDestination});
  TheNetworkConnection().UseBackend(backend);
  {
    CRefreshController controller(panel_, manager_, &view_);
    AddBroadcastReceiver(&controller);
    WithinThirtySeconds([&] {
      controller.ToggleRefresh();
      while (controller.waitingForConnection()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      controller.WaitUntilDone();
    });
    RemoveBroadcastReceiver(&controller);
  }
  TheNetworkConnection().UseBackend(DefaultConnectionBackend());
  EXPECT_EQ(panel_.Icon(0), kIconUpdated);
  EXPECT_EQ(backend.requests().size(), 1u);
}

// Without a network the refresh waits for the connection. Cancel ends the
// wait together with its connection request, and a request that gives up
// (released) ends the wait too; neither starts a refresh.
TEST_F(Refresh, CancelAndAGiveUpEndTheWaitForTheConnection) {
  panel_.AddRow(100, u"One", site_.Url("/f.xml"));
  ScriptedConnectionBackend backend;
  backend.SetProbe({S_OK, true, kConnStatusNoPathToDestination});
  backend.SetRequest({E_FAIL, kConnStatusConnectionCanceled, true});
  TheNetworkConnection().UseBackend(backend);
  {
    CRefreshController controller(panel_, manager_, &view_);
    controller.ToggleRefresh();
    EXPECT_TRUE(controller.waitingForConnection());
    EXPECT_TRUE(TheNetworkConnection().WatcherRunning());
    controller.Abort();
    EXPECT_FALSE(controller.waitingForConnection());
    EXPECT_FALSE(TheNetworkConnection().WatcherRunning());

    controller.ToggleRefresh();
    EXPECT_TRUE(controller.waitingForConnection());
    controller.Post(WM_NETCONNECTION_STATE, kConnectionReleased, 0);
    EXPECT_FALSE(controller.waitingForConnection());
    EXPECT_FALSE(controller.running());
  }
  TheNetworkConnection().UseBackend(DefaultConnectionBackend());
  EXPECT_EQ(backend.requests().size(), 2u);
  EXPECT_EQ(site_.Requests("/f.xml"), 0);
}

TEST_F(Refresh, TheAlwaysConnectedSettingChoosesTheConnectionBackend) {
  ASSERT_TRUE(SetSettingInt(setting::kDownloadFulltext, 0));
  site_.Serve("/f.xml", RssFeed("One", site_.UrlUtf8("/"), "", {Item("a1", "x")}));
  panel_.AddRow(100, u"One", site_.Url("/f.xml"));
  ASSERT_TRUE(SetSettingInt(setting::kAlwaysConnected, 1));
  RunRefresh();
  EXPECT_TRUE(TheNetworkConnection().UsesBackend(AlwaysConnectedBackend()));
  ASSERT_TRUE(SetSettingInt(setting::kAlwaysConnected, 0));
  RunRefresh();
  EXPECT_TRUE(TheNetworkConnection().UsesBackend(DefaultConnectionBackend()));
  EXPECT_EQ(panel_.Icon(0), kIconUpdated);
}

TEST_F(Refresh, WithoutAFullTextWorkerTheRefreshEndsWithItsChannelsFailed) {
  site_.Serve("/f.xml", RssFeed("One", site_.UrlUtf8("/"), "", {Item("a1", "x")}));
  panel_.AddRow(100, u"One", site_.Url("/f.xml"));
  panel_.AddRow(101, u"Two", site_.Url("/f.xml"));
  GiveTemplate(100);
  CDownloadManager broken(RunFullTextJob, 0);
  ASSERT_FALSE(broken.CanRunJobs());
  WithinThirtySeconds([&] {
    CRefreshController controller(panel_, broken, &view_);
    controller.ToggleRefresh();
    controller.WaitUntilDone();
  });
  for (int row : {0, 1}) {
    EXPECT_EQ(panel_.Icon(row), kIconNotUpdated);
    EXPECT_EQ(panel_.row(row).error, kNoWorkerText);
  }
  EXPECT_EQ(view_.Count(WM_REFRESH_DONE), 1);
  EXPECT_FALSE(panel_.busy());
}

}  // namespace
}  // namespace wrenly
