// The account with a real secret service: a private session bus of its own
// (no activation of services) and gnome-keyring unlocked on it, both stopped
// at the end. A binary of its own, so the process's session bus connection
// belongs to this bus only.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <libsecret/secret.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>
#include <utility>

#include "reader/account.h"
#include "reader/password_store.h"
#include "testsupport/temp_dir.h"

extern char** environ;

namespace wrenly::reader {
namespace {

using namespace std::chrono_literals;

pid_t Spawn(const std::vector<std::string>& args, int input) {
  std::vector<std::string> copies = args;
  std::vector<char*> argv;
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (input >= 0) posix_spawn_file_actions_adddup2(&actions, input, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

void Stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

bool Installed(const char* program) {
  for (const char* folder : {"/usr/bin/", "/bin/", "/usr/local/bin/"})
    if (access((std::string(folder) + program).c_str(), X_OK) == 0) return true;
  return false;
}

// A session bus whose configuration names no service files; one that does
// not answer lets no message reach a client, its greeting's answer neither.
class PrivateBus {
 public:
  PrivateBus(const std::string& folder, bool answers)
      : address_("unix:path=" + folder + "/bus"), env_("DBUS_SESSION_BUS_ADDRESS", address_) {
    const std::string config = folder + "/bus.conf";
    testsupport::WriteFile(config, "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\""
                                   " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\"><busconfig>"
                                   "<type>session</type><listen>" + address_ + "</listen><auth>EXTERNAL</auth>"
                                   "<policy context=\"default\"><allow send_destination=\"*\"/><allow own=\"*\"/>" +
                                   std::string(answers ? "<allow eavesdrop=\"true\"/>" : "") +
                                   "</policy></busconfig>");
    pid_ = Spawn({"dbus-daemon", "--nofork", "--config-file=" + config}, -1);
    for (int i = 0; i < 200 && !std::filesystem::exists(folder + "/bus"); ++i) std::this_thread::sleep_for(50ms);
    if (!std::filesystem::exists(folder + "/bus")) Stop(std::exchange(pid_, -1));
  }
  ~PrivateBus() { Stop(pid_); }
  bool running() const { return pid_ > 0; }

 private:
  std::string address_;
  testsupport::ScopedEnv env_;
  pid_t pid_ = -1;
};

// gnome-keyring's secret service on the current session bus, its "login"
// keyring made and unlocked with a password given on its standard input.
class Keyring {
 public:
  explicit Keyring(const std::string& folder) : runtime_("XDG_RUNTIME_DIR", folder), home_("HOME", folder) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return;
    pid_ = Spawn({"gnome-keyring-daemon", "--foreground", "--unlock", "--components=secrets"}, pipeFds[0]);
    close(pipeFds[0]);
    [[maybe_unused]] const ssize_t written = write(pipeFds[1], "unlock", 6);
    close(pipeFds[1]);
    for (int i = 0; i < 200 && !SecretServiceAnswers(); ++i) std::this_thread::sleep_for(50ms);
  }
  ~Keyring() { Stop(pid_); }

 private:
  testsupport::ScopedEnv runtime_, home_;
  pid_t pid_ = -1;
};

Account Ttrss(std::string user, std::string password) {
  Account account;
  account.url = "https://news.example.org/";
  account.user = std::move(user);
  account.password = std::move(password);
  return account;
}

// One answering bus for the whole process (GLib keeps its first connection to
// the session bus for good); a keyring of its own for each test.
class SecretServiceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!Installed("dbus-daemon") || !Installed("gnome-keyring-daemon")) return;
    busFolder_ = new testsupport::TempDir;
    bus_ = new PrivateBus(busFolder_->path(), true);
  }
  static void TearDownTestSuite() {
    delete bus_;
    delete busFolder_;
    bus_ = nullptr;
    busFolder_ = nullptr;
  }
  void SetUp() override {
    if (bus_ == nullptr) GTEST_SKIP() << "needs the packages dbus-daemon and gnome-keyring (scripts/install-deps)";
    ASSERT_TRUE(bus_->running());
  }
  void StartKeyring() {
    keyring_ = std::make_unique<Keyring>(keyringFolder_.path());
    ASSERT_TRUE(SecretServiceAnswers());
  }
  std::string Root(const char* name) { return home_.data() + "/" + name; }

  static testsupport::TempDir* busFolder_;
  static PrivateBus* bus_;
  testsupport::IsolatedHome home_;
  testsupport::TempDir keyringFolder_;
  std::unique_ptr<Keyring> keyring_;
};

testsupport::TempDir* SecretServiceTest::busFolder_ = nullptr;
PrivateBus* SecretServiceTest::bus_ = nullptr;

TEST_F(SecretServiceTest, ABusWithoutASecretServiceMeansThePrivateFileAtOnce) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(SecretServiceAnswers());
  const auto saved = SaveAccount(Root("A"), Ttrss("anna", "pw"));
  ASSERT_TRUE(saved.done()) << saved.result.message;
  EXPECT_EQ(saved.value, PasswordPlace::kPrivateFile);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
}

TEST_F(SecretServiceTest, ABusThatDoesNotAnswerIsNotWaitedFor) {
  const testsupport::TempDir folder;
  const PrivateBus silent(folder.path(), false);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ChoosePasswordPlace(), PasswordPlace::kPrivateFile);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);
}

TEST_F(SecretServiceTest, PasswordsGoToTheSecretStoreAndRemovingOneKeepsTheOthers) {
  StartKeyring();
  for (const auto& [root, user, password] : {std::tuple{"A", "anna", "password-a"}, std::tuple{"B", "anna", "password-b"},
                                             std::tuple{"C", "carl", "password-c"}}) {
    const auto saved = SaveAccount(Root(root), Ttrss(user, password));
    ASSERT_TRUE(saved.done()) << saved.result.message;
    EXPECT_EQ(saved.value, PasswordPlace::kSecretService);
    EXPECT_TRUE(saved.result.message.empty()) << saved.result.message;
  }
  EXPECT_FALSE(std::filesystem::exists(PasswordFilePath()));
  EXPECT_EQ(ReadAccount(Root("A")).value->place, PasswordPlace::kSecretService);
  EXPECT_EQ(LoadAccount(Root("A")).value->password, "password-a");

  ASSERT_TRUE(RemoveAccount(Root("A")).done());
  EXPECT_FALSE(LoadAccount(Root("A")).value.has_value());
  EXPECT_EQ(LoadAccount(Root("B")).value->password, "password-b");
  EXPECT_EQ(LoadAccount(Root("C")).value->password, "password-c");

  // A new password for B replaces its secret; nothing of the old one is found.
  ASSERT_TRUE(SaveAccount(Root("B"), Ttrss("anna", "password-b2")).done());
  EXPECT_EQ(LoadAccount(Root("B")).value->password, "password-b2");
}

TEST_F(SecretServiceTest, AStoreThatStopsAnsweringIsReportedNotWaitedFor) {
  StartKeyring();
  const auto first = SaveAccount(Root("A"), Ttrss("anna", "password-a"));
  ASSERT_TRUE(first.done());
  ASSERT_EQ(first.value, PasswordPlace::kSecretService) << first.result.message;
  keyring_.reset();
  const auto start = std::chrono::steady_clock::now();
  const auto loaded = LoadAccount(Root("A"));
  EXPECT_EQ(loaded.result.refusal, Refusal::kFile);
  EXPECT_NE(loaded.result.message.find("secret store"), std::string::npos) << loaded.result.message;
  // A new save goes to the private file instead.
  const auto saved = SaveAccount(Root("A"), Ttrss("anna", "password-a2"));
  ASSERT_TRUE(saved.done());
  EXPECT_EQ(saved.value, PasswordPlace::kPrivateFile);
  EXPECT_EQ(LoadAccount(Root("A")).value->password, "password-a2");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);
}

TEST_F(SecretServiceTest, ALockedKeyringIsPassedOverWithoutAPrompt) {
  StartKeyring();
  SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, nullptr);
  ASSERT_NE(service, nullptr);
  SecretCollection* login =
      secret_collection_for_alias_sync(service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, nullptr);
  ASSERT_NE(login, nullptr);
  GList* objects = g_list_append(nullptr, login);
  EXPECT_EQ(secret_service_lock_sync(service, objects, nullptr, nullptr, nullptr), 1);
  g_list_free(objects);
  g_object_unref(login);
  g_object_unref(service);

  const auto start = std::chrono::steady_clock::now();
  const auto saved = SaveAccount(Root("A"), Ttrss("anna", "password-a"));
  ASSERT_TRUE(saved.done()) << saved.result.message;
  EXPECT_EQ(saved.value, PasswordPlace::kPrivateFile);
  EXPECT_NE(saved.result.message.find("locked"), std::string::npos) << saved.result.message;
  EXPECT_EQ(LoadAccount(Root("A")).value->password, "password-a");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);
}

}  // namespace
}  // namespace wrenly::reader
