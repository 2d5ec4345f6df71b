// wrenly-cli account end to end: the built program, its password on standard
// input, without a session bus (so the private file keeps the password).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "cli/cli_process_support.h"
#include "reader/account.h"
#include "reader/password_store.h"
#include "testsupport/temp_dir.h"

namespace wrenly::cli {
namespace {

struct CliRun {
  int status = -1;
  std::string out, err;
};

class AccountCommandTest : public ::testing::Test {
 protected:
  CliRun Cli(const std::vector<std::string>& args, const std::string& input = "") {
    const CliStreams streams{files_.path() + "/in", files_.path() + "/out", files_.path() + "/err"};
    testsupport::WriteFile(streams.in, input);
    CliRun run;
    if (const pid_t pid = StartCli(args, streams); pid >= 0) run.status = WaitCli(pid);
    run.out = testsupport::ReadFile(streams.out);
    run.err = testsupport::ReadFile(streams.err);
    return run;
  }
  std::string Root() const { return home_.data() + "/Wrenly Mobile"; }

  testsupport::IsolatedHome home_;
  testsupport::ScopedEnv noBus_{"DBUS_SESSION_BUS_ADDRESS", ""};
  testsupport::TempDir files_;
};

TEST_F(AccountCommandTest, SetShowAndRemoveNeverPrintThePassword) {
  EXPECT_EQ(Cli({"account"}).out, "No account is set; the channels are local.\n");

  const CliRun set = Cli({"account", "ttrss", "https://news.example.org/tt-rss/", "anna"}, "pass word 1\r\nignored\n");
  ASSERT_EQ(set.status, 0) << set.err;
  EXPECT_NE(set.out.find("private file"), std::string::npos) << set.out;
  const auto loaded = reader::LoadAccount(Root());
  ASSERT_TRUE(loaded.done() && loaded.value) << loaded.result.message;
  EXPECT_EQ(loaded.value->password, "pass word 1");

  const CliRun shown = Cli({"account"});
  EXPECT_EQ(shown.status, 0);
  EXPECT_EQ(shown.out, "kind: ttrss\nserver: https://news.example.org/tt-rss/\nuser: anna\npassword: in a private "
                       "file readable by you only (" + reader::PasswordFilePath() + ")\n");
  EXPECT_EQ(shown.out.find("pass word"), std::string::npos);
  struct stat st {};
  ASSERT_EQ(stat(reader::PasswordFilePath().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  const CliRun removed = Cli({"account", "remove"});
  EXPECT_EQ(removed.status, 0) << removed.err;
  EXPECT_NE(removed.out.find("channels stay"), std::string::npos);
  EXPECT_FALSE(reader::LoadAccount(Root()).value.has_value());
  EXPECT_EQ(testsupport::ReadFile(reader::PasswordFilePath()).find("pass word"), std::string::npos);
  const CliRun again = Cli({"account", "remove"});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("No account is set"), std::string::npos);
}

TEST_F(AccountCommandTest, RefusalsExitOneWithTheReasonAndStoreNothing) {
  const CliRun plain = Cli({"account", "ttrss", "http://news.example.org/", "anna"}, "pw\n");
  EXPECT_EQ(plain.status, 1);
  EXPECT_NE(plain.err.find("Plain http://"), std::string::npos) << plain.err;
  const CliRun ftp = Cli({"account", "ttrss", "ftp://news.example.org/", "anna"}, "pw\n");
  EXPECT_EQ(ftp.status, 1);
  EXPECT_NE(ftp.err.find("https://"), std::string::npos) << ftp.err;
  const CliRun noPassword = Cli({"account", "ttrss", "https://news.example.org/", "anna"});
  EXPECT_EQ(noPassword.status, 1);
  EXPECT_NE(noPassword.err.find("standard input"), std::string::npos) << noPassword.err;
  EXPECT_EQ(Cli({"account", "fever", "https://news.example.org/", "anna"}, "pw\n").status, 2);
  EXPECT_EQ(Cli({"account", "ttrss", "https://news.example.org/"}, "pw\n").status, 2);
  EXPECT_FALSE(reader::ReadAccount(Root()).value.has_value());

  // Allowed explicitly, plain http to another host is kept, and said so.
  const CliRun allowed = Cli({"account", "ttrss", "http://news.example.org/", "anna", "--allow-http"}, "pw\n");
  EXPECT_EQ(allowed.status, 0) << allowed.err;
  EXPECT_NE(Cli({"account"}).out.find("plain http: allowed"), std::string::npos);
}

TEST_F(AccountCommandTest, AnUnreadableAccountFileIsNamedAndKept) {
  testsupport::WriteFile(reader::AccountFilePath(Root()), "{broken");
  for (const std::vector<std::string>& args : {std::vector<std::string>{"account"}, {"account", "remove"}}) {
    const CliRun run = Cli(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(reader::AccountFilePath(Root())), std::string::npos) << run.err;
  }
  EXPECT_EQ(testsupport::ReadFile(reader::AccountFilePath(Root())), "{broken");
}

}  // namespace
}  // namespace wrenly::cli
