// The translation table: every text the program shows is looked up by its
// English text in "<program folder>/Localization/<code>/Default.txt", a
// UTF-16LE file with its byte-order mark holding "key = value" lines. The
// code is the "Language" setting, else the user's locale abbreviation; the
// table is reloaded whenever that code changes. Safe for concurrent use.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace wrenly {

using TranslationTable = std::map<std::u16string, std::u16string, std::less<>>;

// The translation of exactly this key, or the text itself.
std::u16string LookupTranslation(std::u16string_view text);
// The translation of a text that may hold line feeds and tabs: each line is
// looked up whole, and a line that is no key per tab-separated piece, so keys
// may be whole lines or their pieces. Translations are not looked up again.
std::u16string Translate(std::u16string_view text);

// The effective language code: "Language", else the locale's abbreviation.
std::string CurrentLanguageCode();
// "<Root or program folder>/Localization/<code>/Default.txt".
std::string TranslationFilePath(std::string_view code);
// The lines of a translation file's bytes. Empty unless the bytes begin with
// the UTF-16LE byte-order mark. Lines without "=", lines whose key is empty
// and a last line without a line feed are skipped; key and value are
// trimmed; a later key wins.
TranslationTable ParseTranslationFile(std::string_view bytes);

}  // namespace wrenly
