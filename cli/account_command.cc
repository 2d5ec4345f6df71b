#include "cli/account_command.h"

#include <iostream>
#include <string>

#include "reader/account.h"
#include "reader/password_store.h"
#include "reader/reader_data.h"

namespace wrenly::cli {
namespace {

std::string PlaceText(reader::PasswordPlace place) {
  return place == reader::PasswordPlace::kSecretService
             ? "in the desktop's secret store"
             : "in a private file readable by you only (" + reader::PasswordFilePath() + ")";
}

int Failed(const reader::Result& result, std::ostream& err) {
  err << "wrenly-cli account: " << result.message << '\n';
  return kExitFailed;
}

int Show(const std::string& root, std::ostream& out, std::ostream& err) {
  const auto stored = reader::ReadAccount(root);
  if (!stored.done()) return Failed(stored.result, err);
  if (!stored.value) {
    out << "No account is set; the channels are local.\n";
    return kExitOk;
  }
  const reader::Account& account = stored.value->account;
  out << "kind: " << account.kind << "\nserver: " << account.url << "\nuser: " << account.user
      << "\npassword: " << PlaceText(stored.value->place) << '\n';
  if (account.allow_plain_http) out << "plain http: allowed\n";
  return kExitOk;
}

// One line of standard input, without its line end.
std::string ReadPasswordLine() {
  std::string line;
  std::getline(std::cin, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

int Set(const std::string& root, const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  reader::Account account;
  account.kind = args[0];
  account.url = args[1];
  account.user = args[2];
  account.allow_plain_http = args.size() == 4;
  account.password = ReadPasswordLine();
  if (account.password.empty()) {
    err << "wrenly-cli account: give the password on standard input, e.g. "
           "wrenly-cli account ttrss URL USER < password-file\n";
    return kExitFailed;
  }
  const auto saved = reader::SaveAccount(root, account);
  if (!saved.done()) return Failed(saved.result, err);
  out << "Account set; the password is kept " << PlaceText(saved.value) << ".\n";
  if (!saved.result.message.empty()) err << "wrenly-cli account: " << saved.result.message << '\n';
  return kExitOk;
}

int RunAccount(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const std::string root = reader::ReaderData::Current().root();
  if (args.empty()) return Show(root, out, err);
  if (args.size() == 1 && args[0] == "remove") {
    const reader::Result removed = reader::RemoveAccount(root);
    if (!removed.done()) return Failed(removed, err);
    out << "Account removed; the channels stay as local channels.\n";
    if (!removed.message.empty()) err << "wrenly-cli account: " << removed.message << '\n';
    return kExitOk;
  }
  if (args[0] == "ttrss" && (args.size() == 3 || (args.size() == 4 && args[3] == "--allow-http")))
    return Set(root, args, out, err);
  return UsageError("account", err);
}

}  // namespace

std::vector<Command> AccountCommands() {
  return {{"account", "[ttrss URL USER [--allow-http] | remove]",
           "Without arguments shows the account on a Tiny Tiny RSS server (server, user and where the password "
           "is kept; never the password). \"ttrss URL USER\" sets it, reading the password from the first line of "
           "standard input; plain http:// is refused for a server that is not this machine unless --allow-http "
           "is given. \"remove\" removes the account and its password; the channels stay as local ones.",
           RunAccount}};
}

}  // namespace wrenly::cli
