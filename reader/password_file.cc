// The private password file: one JSON object {"passwords": [{"server",
// "user", "account", "password"}, ...]}. Every change reads the file afresh
// and replaces it under the flock of its folder; the file is created with
// mode 0600 (its temporary copy too), so it is never readable by others.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/atomic_file.h"
#include "platform/file_ops.h"
#include "reader/account_texts.h"
#include "reader/password_store.h"
#include "store/folder_lock.h"
#include "store/settings.h"

namespace wrenly::reader {
namespace {

using Json = nlohmann::json;

Result Unreadable(const std::string& path, const std::string& why) {
  return Result::Refused(Refusal::kFile, SentenceWith(kPasswordFileUnreadableText, path + ": " + why));
}

// The file's entries; an empty list when there is no file.
ValueResult<Json> ReadEntries(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (errno == ENOENT) return {Result::Done(), Json::array()};
    return {Unreadable(path, std::strerror(errno)), {}};
  }
  std::ostringstream bytes;
  bytes << in.rdbuf();
  Json document = Json::parse(bytes.str(), nullptr, false);
  if (document.is_discarded() || !document.is_object() || !document.contains("passwords") ||
      !document["passwords"].is_array())
    return {Unreadable(path, "not a password list"), {}};
  for (const Json& entry : document["passwords"])
    for (const char* field : {"server", "user", "account", "password"})
      if (!entry.is_object() || !entry.contains(field) || !entry[field].is_string())
        return {Unreadable(path, "an entry lacks its " + std::string(field)), {}};
  return {Result::Done(), document["passwords"]};
}

bool Matches(const Json& entry, const PasswordKey& key) {
  return entry["server"] == key.server && entry["user"] == key.user && entry["account"] == key.account;
}

// Reads the entries, lets `change` edit them and writes them back, all under
// the folder's lock.
template <typename Change>
Result Rewrite(Change change) {
  const std::string path = PasswordFilePath();
  const std::string folder = FolderOf(path);
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  const FolderLock lock(folder);
  ValueResult<Json> entries = ReadEntries(path);
  if (!entries.done()) return entries.result;
  change(entries.value);
  std::string error;
  const Json document = {{"passwords", entries.value}};
  if (!WriteFileAtomically(path, document.dump(1, '\t', false, Json::error_handler_t::replace), &error,
                           Flush::kFileAndFolder, S_IRUSR | S_IWUSR))
    return Result::Refused(Refusal::kFile, SentenceWith(kPasswordFileUnwritableText, path + ": " + error));
  return Result::Done();
}

}  // namespace

std::string PasswordFilePath() { return FolderOf(SettingsFilePath()) + "/Wrenly Mobile.passwords"; }

namespace password_file {

Result Store(const PasswordKey& key, const std::string& password) {
  return Rewrite([&](Json& entries) {
    entries.erase(std::remove_if(entries.begin(), entries.end(), [&](const Json& e) { return Matches(e, key); }),
                  entries.end());
    entries.push_back({{"server", key.server}, {"user", key.user}, {"account", key.account}, {"password", password}});
  });
}

ValueResult<std::optional<std::string>> Lookup(const PasswordKey& key) {
  const ValueResult<Json> entries = ReadEntries(PasswordFilePath());
  if (!entries.done()) return {entries.result, std::nullopt};
  for (const Json& entry : entries.value)
    if (Matches(entry, key)) return {Result::Done(), entry["password"].get<std::string>()};
  return {Result::Done(), std::nullopt};
}

Result Remove(const PasswordKey& key) {
  if (!std::filesystem::exists(PasswordFilePath())) return Result::Done();
  return Rewrite([&](Json& entries) {
    entries.erase(std::remove_if(entries.begin(), entries.end(), [&](const Json& e) { return Matches(e, key); }),
                  entries.end());
  });
}

}  // namespace password_file
}  // namespace wrenly::reader
