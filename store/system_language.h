// The user's language as a three-letter abbreviation ("ENU", "CHS", ...),
// derived from LC_ALL, LC_MESSAGES or LANG (first one set). It names the
// localization folder and is the default of the "Language" setting.
#pragma once

#include <string>
#include <string_view>

namespace wrenly {

// Abbreviation for a locale name such as "zh_CN.UTF-8" or "de"; "ENU" for
// "C", "POSIX", an empty name or a language the table does not know.
std::string LanguageAbbreviationForLocale(std::string_view locale);

// The abbreviation for the current environment.
std::string SystemLanguageAbbreviation();

}  // namespace wrenly
