#include "engine/fetcher_process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <future>
#include <mutex>
#include <thread>

#include "engine/full_text_job.h"
#include "net/messages.h"
#include "platform/notifier.h"
#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

// A small stand-in child, for what the fetcher process runner must handle
// whatever the fetcher does: odd arguments, error lines, hangs, signals.
std::string Script(const TempDir& dir, const std::string& name, const std::string& body) {
  const std::string path = dir.path() + "/" + name;
  WriteFile(path, "#!/bin/sh\n" + body);
  ::chmod(path.c_str(), 0755);
  return path;
}

struct ProgressLog : Receiver {
  std::mutex mutex;
  std::vector<std::pair<std::uint64_t, std::int64_t>> got;
  void Post(MessageId message, std::uint64_t w, std::int64_t l) override {
    std::lock_guard lock(mutex);
    if (message == WM_DOWNLOAD_PROGRESS) got.emplace_back(w, l);
  }
};

TEST(FetcherArguments, ProxyOptionTemplateAndUrlsArePassedAsSeparateArguments) {
  using V = std::vector<std::string>;
  EXPECT_EQ(FetcherArguments(u"http://h/a b", "/d/o.htm", "/d/t.tpl", false, u"x:1"),
            (V{"http://h/a b", "/d/o.htm", "/d/t.tpl"}));
  EXPECT_EQ(FetcherArguments(u"http://h/", "/d/o.img", "", true, u"  proxy:8080 \t"),
            (V{"-p", "proxy:8080", "http://h/", "/d/o.img"}));
  EXPECT_EQ(FetcherArguments(u"http://h/", "/d/o.img", "", true, u"  "), (V{"-p", "None", "http://h/", "/d/o.img"}));
  EXPECT_EQ(FetcherArguments(u"http://h/", "/d/o.htm", kAutomaticExtraction, true, u"x:1"),
            (V{"-p", "x:1", "-a", "http://h/", "/d/o.htm"}));
}

TEST(FetcherLines, ProgressAndErrorLinesAreParsedAndOtherLinesRejected) {
  std::uint64_t bytes = 0;
  int ended = -1;
  EXPECT_TRUE(ParseFetcherProgress("progress 4096 0", bytes, ended));
  EXPECT_EQ(bytes, 4096u);
  EXPECT_EQ(ended, 0);
  EXPECT_TRUE(ParseFetcherProgress("progress 4294967295 1", bytes, ended));
  EXPECT_EQ(bytes, 4294967295u);
  EXPECT_EQ(ended, 1);
  EXPECT_FALSE(ParseFetcherProgress("progress x 0", bytes, ended));
  EXPECT_FALSE(ParseFetcherProgress("progress 12 7", bytes, ended));
  EXPECT_FALSE(ParseFetcherProgress("Progress 12 0", bytes, ended));

  std::uint32_t code = 0;
  std::u16string text;
  EXPECT_TRUE(ParseFetcherError("error 12029 Cannot connect to the server", code, text));
  EXPECT_EQ(code, 12029u);
  EXPECT_EQ(text, u"Cannot connect to the server");
  EXPECT_TRUE(ParseFetcherError("error 0x800C0008", code, text));
  EXPECT_EQ(code, 0x800C0008u);
  EXPECT_EQ(text, u"");
  EXPECT_FALSE(ParseFetcherError("error: broken", code, text));
  EXPECT_FALSE(ParseFetcherError("warning 1 x", code, text));

  std::u16string page;
  EXPECT_TRUE(ParseFetcherPage("page HTTPS://h.example/a b?c\r", page));
  EXPECT_EQ(page, u"HTTPS://h.example/a b?c");
  for (const char* line : {"page /relative", "page javascript:alert(1)", "page ", "pages http://h/"}) {
    EXPECT_FALSE(ParseFetcherPage(line, page)) << line;
    EXPECT_EQ(page, u"HTTPS://h.example/a b?c");
  }
}

TEST(RunFetcherProgram, ReadsArgumentsExitStatusErrorLineAndProgress) {
  TempDir dir;
  const std::string program = Script(dir, "child",
                                     "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$OUT_ARGS\"\n"
                                     "echo 'progress 100 0'\necho 'not a progress line'\necho 'progress 250 1'\n"
                                     // A page line too long to arrive whole does not count.
                                     "echo 'page http://h/final'\nprintf 'page http://h/%05000d\\n' 0\n"
                                     "echo 'some diagnostic' >&2\necho 'error 12029 Cannot connect' >&2\nexit 2\n");
  testsupport::ScopedEnv env("OUT_ARGS", dir.path() + "/args");
  ProgressLog progress;
  AddBroadcastReceiver(&progress);
  const FetcherRun run = RunFetcherProgram(program, {"-p", "None", "http://h/a \"b\"", "/o 1.htm"},
                                           kFetcherTimeLimit);
  RemoveBroadcastReceiver(&progress);
  EXPECT_TRUE(run.started);
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitStatus, kFetcherExitTransferFailed);
  EXPECT_EQ(run.errorCode, 12029u);
  EXPECT_EQ(run.errorText, u"Cannot connect");
  EXPECT_EQ(run.pageAddress, u"http://h/final");
  EXPECT_EQ(ReadFile(dir.path() + "/args"), "-p\nNone\nhttp://h/a \"b\"\n/o 1.htm\n");
  ASSERT_EQ(progress.got.size(), 2u);
  EXPECT_EQ(progress.got[0], (std::pair<std::uint64_t, std::int64_t>{100, 0}));
  EXPECT_EQ(progress.got[1], (std::pair<std::uint64_t, std::int64_t>{250, 1}));
}

TEST(RunFetcherProgram, ProgressGoesOnPastSixtyFourKibibytesOfOutput) {
  TempDir dir;
  // 6000 lines of about 20 bytes: well past 64 KiB.
  const std::string program =
      Script(dir, "chatty", "i=0\nwhile [ $i -lt 6000 ]; do echo \"progress $i 0\"; i=$((i+1)); done\n"
                            "echo 'progress 6000 1'\n");
  ProgressLog progress;
  AddBroadcastReceiver(&progress);
  const FetcherRun run = RunFetcherProgram(program, {}, kFetcherTimeLimit);
  RemoveBroadcastReceiver(&progress);
  EXPECT_EQ(run.exitStatus, 0);
  ASSERT_EQ(progress.got.size(), 6001u);
  EXPECT_EQ(progress.got.back(), (std::pair<std::uint64_t, std::int64_t>{6000, 1}));
}

TEST(RunFetcherProgram, AChildWhoseStatusCannotBeReadIsNotASuccess) {
  TempDir dir;
  const std::string program = Script(dir, "fails", "exit 3\n");
  // With SIGCHLD ignored the kernel reaps the child itself, and waitpid fails.
  struct sigaction ignore {}, previous{};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(::sigaction(SIGCHLD, &ignore, &previous), 0);
  const FetcherRun run = RunFetcherProgram(program, {}, kFetcherTimeLimit);
  ::sigaction(SIGCHLD, &previous, nullptr);
  EXPECT_TRUE(run.started);
  EXPECT_EQ(run.exitStatus, -1);
}

TEST(RunFetcherProgram, AHungChildIsKilledAtTheLimitAndAMissingProgramIsNotStarted) {
  TempDir dir;
  const std::string program = Script(dir, "hang", "echo started\nsleep 60\n");
  const FetcherRun run = RunFetcherProgram(program, {}, std::chrono::milliseconds(300));
  EXPECT_TRUE(run.started);
  EXPECT_TRUE(run.timedOut);
  EXPECT_EQ(run.signal, SIGKILL);

  const FetcherRun missing = RunFetcherProgram(dir.path() + "/no-such-program", {}, kFetcherTimeLimit);
  EXPECT_FALSE(missing.started);
}

// A child killed at the time limit may take long to end (stuck in the kernel
// on a hung card): the wait for it must hold up neither another fetcher's
// start nor the abort. The delay hook keeps that wait blocked until the
// other run has ended, or for 20 s when it cannot proceed.
TEST(RunFetcherProgram, AKilledChildSlowToEndHoldsUpNoOtherStartAndNoAbort) {
  TempDir dir;
  const std::string hang = Script(dir, "hang", "sleep 60\n");
  const std::string quick = Script(dir, "quick", "exit 0\n");
  std::promise<void> entered, release;
  std::shared_future<void> released = release.get_future().share();
  SetKilledChildDelayForTesting([&] {
    entered.set_value();
    released.wait();
  });
  FetcherRun slow;
  std::thread slowRun([&] { slow = RunFetcherProgram(hang, {}, std::chrono::milliseconds(200)); });
  ASSERT_EQ(entered.get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);
  auto other = std::async(std::launch::async, [&] {
    SignalRunningFetchers();
    return RunFetcherProgram(quick, {}, kFetcherTimeLimit);
  });
  const bool proceeded = other.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  release.set_value();
  slowRun.join();
  SetKilledChildDelayForTesting({});
  EXPECT_TRUE(proceeded);
  EXPECT_EQ(other.get().exitStatus, 0);
  EXPECT_TRUE(slow.timedOut);
  EXPECT_EQ(slow.signal, SIGKILL);
}

// The fetcher's sandbox ends a child with a signal (SIGSYS for a refused
// call, SIGXCPU or SIGKILL at a limit): a failed fetch whose output goes.
TEST(RunFetcherProgram, AChildEndedByItsSandboxIsAFailedFetch) {
  TempDir dir;
  const std::string output = dir.path() + "/Ch100-1-001.htm";
  for (const std::string name : {"SYS", "XCPU", "XFSZ", "KILL"}) {
    const std::string program = Script(dir, "ended-" + name, "echo partial > \"$1\"\nkill -" + name + " $$\n");
    const FetcherRun run = RunFetcherProgram(program, {output}, kFetcherTimeLimit);
    std::uint32_t code = 0;
    std::u16string text;
    EXPECT_NE(JudgeFetcherRun(run, output, code, text), 0u) << name;
    EXPECT_NE(code, 0u) << name;
    EXPECT_EQ(text, kFetcherCrashedText) << name;
    EXPECT_FALSE(std::filesystem::exists(output)) << name;
  }
}

TEST(RunFetcherProgram, AbortReachesTheChildAsSigusr1) {
  TempDir dir;
  // The child reports that it has its handler in place, then waits.
  const std::string program = Script(dir, "waits",
                                     "trap 'echo aborted > \"$1\"; exit 0' USR1\n"
                                     "touch \"$1.ready\"\nwhile :; do sleep 0.05; done\n");
  const std::string marker = dir.path() + "/marker";

  // Through the abort check of the run itself...
  std::atomic<bool> abort{false};
  std::thread raiser([&] {
    while (!std::filesystem::exists(marker + ".ready")) std::this_thread::yield();
    abort = true;
  });
  FetcherRun run = RunFetcherProgram(program, {marker}, kFetcherTimeLimit, [&] { return abort.load(); });
  raiser.join();
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(ReadFile(marker), "aborted\n");

  // ...and through the process-wide signal to every running child.
  std::filesystem::remove(marker);
  std::filesystem::remove(marker + ".ready");
  std::thread signaller([&] {
    while (!std::filesystem::exists(marker + ".ready")) std::this_thread::yield();
    SignalRunningFetchers();
  });
  run = RunFetcherProgram(program, {marker}, kFetcherTimeLimit);
  signaller.join();
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(ReadFile(marker), "aborted\n");
}

}  // namespace
TEST(RunFetcherProgram, AnAbortBeforeTheChildListensWaitsForIt) {
  // The probe is signalled while it is still starting up, before it listens;
  // it must not die of the signal but take it up once it listens.
  TempDir dir;
  const std::string marker = dir.path() + "/marker";
  std::atomic<bool> done{false};
  std::thread signaller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    SignalRunningFetchers();
    done = true;
  });
  const FetcherRun run = RunFetcherProgram(std::string(WRENLY_BIN_DIR) + "/late_listener_probe",
                                           {marker}, std::chrono::seconds(10));
  signaller.join();
  ASSERT_TRUE(done);
  EXPECT_EQ(run.signal, 0);
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(ReadFile(marker), "aborted\n");
}

}  // namespace wrenly
