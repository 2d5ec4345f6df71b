// The sentences an account's operations refuse or warn with. Each is a key of
// the translation table and the first line of a Result's message; a second
// line, when there is one, gives details (a file's path, the system's reason)
// and is shown as it is.
#pragma once

#include <string>
#include <string_view>

#include "platform/text.h"

namespace wrenly::reader {

inline constexpr char16_t kAddressSchemeText[] =
    u"The server's address must start with https:// (or http:// for a server on this computer).";
inline constexpr char16_t kAddressHostText[] = u"The server's address has no host name.";
inline constexpr char16_t kPlainHttpText[] =
    u"Plain http:// would send the password unencrypted to another computer. Use https://, or allow plain http "
    u"for this account.";
inline constexpr char16_t kOnlyTtrssText[] = u"Only Tiny Tiny RSS accounts are supported.";
inline constexpr char16_t kUserEmptyText[] = u"The user name is empty.";
inline constexpr char16_t kPasswordEmptyText[] = u"The password is empty.";
inline constexpr char16_t kNoAccountText[] = u"No account is set.";
inline constexpr char16_t kAccountUnreadableText[] = u"The account file cannot be read; it was left as it is.";
inline constexpr char16_t kAccountUnwritableText[] = u"The account file cannot be written.";
inline constexpr char16_t kPasswordMissingText[] =
    u"The password is no longer where the account keeps it. Set the account again.";
inline constexpr char16_t kPasswordFileUnreadableText[] = u"The password file cannot be read; it was left as it is.";
inline constexpr char16_t kPasswordFileUnwritableText[] = u"The password file cannot be written.";
inline constexpr char16_t kSecretStoreSilentText[] = u"The desktop's secret store does not answer.";
inline constexpr char16_t kSecretStoreLockedText[] = u"The desktop's secret store is locked.";
inline constexpr char16_t kSecretStoreFailedText[] = u"The desktop's secret store refused the request.";
inline constexpr char16_t kPasswordInFileInsteadText[] =
    u"The desktop's secret store did not take the password; it went into a private file instead.";
inline constexpr char16_t kOldPasswordStaysText[] =
    u"The account is saved, but its previous password could not be removed from where it was kept.";
inline constexpr char16_t kPasswordStaysText[] =
    u"The account is removed, but its password could not be removed from where it is kept.";

// sentence, then "\n" and the detail when there is one.
inline std::string SentenceWith(std::u16string_view sentence, std::string_view detail = {}) {
  std::string message = Utf16ToUtf8(sentence);
  if (!detail.empty()) message.append("\n").append(detail);
  return message;
}

}  // namespace wrenly::reader
