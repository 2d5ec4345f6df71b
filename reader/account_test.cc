#include "reader/account.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>

#include "reader/password_store.h"
#include "testsupport/file_faults.h"
#include "testsupport/temp_dir.h"

namespace wrenly::reader {
namespace {

using testsupport::ReadFile;
using testsupport::WriteFile;

Account Ttrss(std::string user, std::string password, std::string url = "https://news.example.org/tt-rss/") {
  Account account;
  account.url = std::move(url);
  account.user = std::move(user);
  account.password = std::move(password);
  return account;
}

// Without a session bus, as the tests and a text console run: the private file.
class AccountTest : public ::testing::Test {
 protected:
  std::string Root(const char* name = "Wrenly Mobile") { return home_.data() + "/" + name; }
  std::optional<Account> Load(const std::string& root) {
    auto loaded = LoadAccount(root);
    EXPECT_TRUE(loaded.done()) << loaded.result.message;
    return loaded.value;
  }
  void Save(const std::string& root, const Account& account) {
    const auto saved = SaveAccount(root, account);
    ASSERT_TRUE(saved.done()) << saved.result.message;
    EXPECT_EQ(saved.value, PasswordPlace::kPrivateFile);
  }

  testsupport::IsolatedHome home_;
  testsupport::ScopedEnv noBus_{"DBUS_SESSION_BUS_ADDRESS", ""};
};

TEST_F(AccountTest, RoundTripKeepsEveryFieldAndThePasswordStaysOutOfTheDataRoot) {
  EXPECT_FALSE(Load(Root()).has_value());
  Account account = Ttrss("anna", "s3cret \"quoted\" \xE5\xAF\x86");
  account.url = "http://news.example.org:8080/";
  account.allow_plain_http = true;
  Save(Root(), account);

  const std::optional<Account> loaded = Load(Root());
  ASSERT_TRUE(loaded.has_value());
  EXPECT_EQ(loaded->kind, "ttrss");
  EXPECT_EQ(loaded->url, account.url);
  EXPECT_EQ(loaded->user, "anna");
  EXPECT_EQ(loaded->password, account.password);
  EXPECT_TRUE(loaded->allow_plain_http);
  EXPECT_EQ(ReadFile(AccountFilePath(Root())).find("s3cret"), std::string::npos);
  EXPECT_NE(ReadFile(PasswordFilePath()).find("s3cret"), std::string::npos);
  EXPECT_EQ(std::filesystem::path(PasswordFilePath()).parent_path(),
            std::filesystem::path(home_.config() + "/Dalwick Software Lab"));

  const auto shown = ReadAccount(Root());
  ASSERT_TRUE(shown.done() && shown.value.has_value());
  EXPECT_EQ(shown.value->place, PasswordPlace::kPrivateFile);
  EXPECT_EQ(shown.value->account.user, "anna");
  EXPECT_TRUE(shown.value->account.password.empty());
}

TEST_F(AccountTest, PasswordFileIsCreatedPrivateAndStaysPrivateWhateverTheUmask) {
  const mode_t oldMask = umask(0);
  Save(Root(), Ttrss("anna", "one"));
  Save(Root("Other"), Ttrss("ben", "two"));
  Save(Root(), Ttrss("anna", "three"));
  umask(oldMask);
  struct stat st {};
  ASSERT_EQ(stat(PasswordFilePath().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(PasswordFilePath()).parent_path()))
    EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
}

TEST_F(AccountTest, RefusedAccountsChangeNothing) {
  Save(Root(), Ttrss("anna", "one"));
  const std::string accountBytes = ReadFile(AccountFilePath(Root()));
  const std::string passwordBytes = ReadFile(PasswordFilePath());
  Account otherKind = Ttrss("anna", "two");
  otherKind.kind = "fever";
  for (const Account& bad : {Ttrss("anna", "two", "http://news.example.org/"), Ttrss("anna", "two", "ftp://x/"),
                             Ttrss("anna", "two", "news.example.org"), Ttrss(" ", "two"), Ttrss("anna", ""),
                             otherKind}) {
    const auto refused = SaveAccount(Root(), bad);
    EXPECT_EQ(refused.result.refusal, Refusal::kInvalid) << bad.url << " " << bad.user;
    EXPECT_FALSE(refused.result.message.empty());
  }
  EXPECT_EQ(ReadFile(AccountFilePath(Root())), accountBytes);
  EXPECT_EQ(ReadFile(PasswordFilePath()), passwordBytes);
  EXPECT_EQ(Load(Root())->password, "one");
}

TEST_F(AccountTest, UnreadableFilesAreReportedByNameAndLeftAsTheyAre) {
  Save(Root(), Ttrss("anna", "one"));
  const std::string good = ReadFile(AccountFilePath(Root()));
  for (const std::string& bad : {std::string("{\"kind\": \"ttrss\", \"url\": "), std::string("[1, 2]"),
                                std::string("{\"kind\": \"ttrss\"}"), good.substr(0, good.size() / 2)}) {
    WriteFile(AccountFilePath(Root()), bad);
    for (const Result& refused : {LoadAccount(Root()).result, ReadAccount(Root()).result, RemoveAccount(Root())}) {
      EXPECT_EQ(refused.refusal, Refusal::kFile) << bad;
      EXPECT_NE(refused.message.find(AccountFilePath(Root())), std::string::npos) << refused.message;
    }
    EXPECT_EQ(ReadFile(AccountFilePath(Root())), bad);
  }

  // Saving is how the person repairs it.
  Save(Root(), Ttrss("anna", "two"));
  EXPECT_EQ(Load(Root())->password, "two");

  const std::string passwords = "{\"passwords\": [{\"server\": 1}]}";
  WriteFile(PasswordFilePath(), passwords);
  const auto unreadable = LoadAccount(Root());
  EXPECT_EQ(unreadable.result.refusal, Refusal::kFile);
  EXPECT_NE(unreadable.result.message.find(PasswordFilePath()), std::string::npos);
  EXPECT_EQ(SaveAccount(Root(), Ttrss("anna", "three")).result.refusal, Refusal::kFile);
  EXPECT_EQ(ReadFile(PasswordFilePath()), passwords);
}

TEST_F(AccountTest, RemovingOneAccountKeepsTheOthersPasswords) {
  // Two data roots with the same login, and another login.
  Save(Root("A"), Ttrss("anna", "password-a"));
  Save(Root("B"), Ttrss("anna", "password-b"));
  Save(Root("C"), Ttrss("carl", "password-c"));

  ASSERT_TRUE(RemoveAccount(Root("A")).done());
  EXPECT_FALSE(Load(Root("A")).has_value());
  EXPECT_FALSE(std::filesystem::exists(AccountFilePath(Root("A"))));
  EXPECT_EQ(ReadFile(PasswordFilePath()).find("password-a"), std::string::npos);
  EXPECT_EQ(Load(Root("B"))->password, "password-b");
  EXPECT_EQ(Load(Root("C"))->password, "password-c");
  EXPECT_EQ(RemoveAccount(Root("A")).refusal, Refusal::kNotFound);
}

TEST_F(AccountTest, ASecondSaveReplacesTheAccountAndDropsItsOldPassword) {
  Save(Root(), Ttrss("anna", "old-password"));
  Save(Root(), Ttrss("ben", "new-password", "https://other.example.org/"));
  EXPECT_EQ(Load(Root())->user, "ben");
  const std::string passwords = ReadFile(PasswordFilePath());
  EXPECT_EQ(passwords.find("old-password"), std::string::npos);
  EXPECT_NE(passwords.find("new-password"), std::string::npos);
}

TEST_F(AccountTest, ASaveThatFailsOnTheDiskLeavesTheOldAccountWhole) {
  testsupport::ForEachFailingFileCall(
      ENOSPC,
      [&] {
        std::filesystem::remove(AccountFilePath(Root()));
        std::filesystem::remove(PasswordFilePath());
        Save(Root(), Ttrss("anna", "old-password"));
      },
      [&] {
        const auto saved = SaveAccount(Root(), Ttrss("ben", "new-password"));
        return saved.done() && saved.result.message.empty();
      },
      [&](int call) {
        const std::optional<Account> now = Load(Root());
        ASSERT_TRUE(now.has_value()) << call;
        // Done, only the old password's removal failed; or refused, and the old account is whole.
        EXPECT_TRUE(now->password == "old-password" || now->password == "new-password") << call;
        EXPECT_EQ(now->user, now->password == "old-password" ? "anna" : "ben") << call;
        if (now->password == "old-password") {
          EXPECT_EQ(ReadFile(PasswordFilePath()).find("new-password"), std::string::npos) << call;
        }
      });
}

TEST_F(AccountTest, WithoutASecretServiceThePrivateFileIsChosenAtOnce) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ChoosePasswordPlace(), PasswordPlace::kPrivateFile);
  {
    const testsupport::ScopedEnv deadBus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + home_.root() + "/no-bus");
    EXPECT_EQ(ChoosePasswordPlace(), PasswordPlace::kPrivateFile);
  }
  // Far below the time limit of a call to the bus.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

TEST_F(AccountTest, AnAccountInTheSecretStoreSaysSoWhenTheStoreDoesNotAnswer) {
  Save(Root(), Ttrss("anna", "one"));
  std::string bytes = ReadFile(AccountFilePath(Root()));
  bytes.replace(bytes.find("private-file"), 12, "secret-service");
  WriteFile(AccountFilePath(Root()), bytes);
  const auto loaded = LoadAccount(Root());
  EXPECT_EQ(loaded.result.refusal, Refusal::kFile);
  EXPECT_NE(loaded.result.message.find("secret store"), std::string::npos) << loaded.result.message;
  EXPECT_EQ(ReadAccount(Root()).value->place, PasswordPlace::kSecretService);
  // Removing still removes the account, and says the password stayed.
  const Result removed = RemoveAccount(Root());
  EXPECT_TRUE(removed.done());
  EXPECT_NE(removed.message.find("secret store"), std::string::npos);
  EXPECT_FALSE(Load(Root()).has_value());
}

}  // namespace
}  // namespace wrenly::reader
