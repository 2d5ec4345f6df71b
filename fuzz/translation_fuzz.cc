// Fuzz target: arbitrary bytes read as a translation file, both directly and
// as the table the lookups load from the program folder. Besides not
// crashing it checks what the table promises: keys are non-empty trimmed
// single lines without "=", values are trimmed single lines, and looking up
// or translating a parsed key gives its parsed value.
#include <filesystem>
#include <string>

#include "fuzz/fuzz_support.h"
#include "platform/text.h"
#include "store/settings.h"
#include "store/translation.h"

using namespace wrenly;

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f'; }

bool IsTrimmedLine(const std::u16string& text) {
  if (!text.empty() && (IsBlank(text.front()) || IsBlank(text.back()))) return false;
  return text.find(u'\n') == std::u16string::npos;
}

void Check(bool holds) {
  if (!holds) __builtin_trap();
}

// Makes the lookups load the bytes: they go to a language folder of the
// scratch program folder, and the language switches between two codes. The
// table is loaded only when the code changes, so each input's table is
// loaded here, even one with no keys to look up.
void InstallAsCurrentTable(const std::uint8_t* data, std::size_t size) {
  static const std::string root = fuzz::ScratchHome() + "/program";
  static bool first = true;
  static int turn = 0;
  if (first) {
    first = false;
    SetSettingString(setting::kRoot, Utf8ToUtf16(root));
    std::filesystem::create_directories(root + "/Localization/FZA");
    std::filesystem::create_directories(root + "/Localization/FZB");
  }
  const std::string code = turn++ % 2 ? "FZB" : "FZA";
  Check(fuzz::WriteBytes(TranslationFilePath(code), data, size));
  Check(SetSettingString(setting::kLanguage, Utf8ToUtf16(code)));
  LookupTranslation(u"");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const TranslationTable table = ParseTranslationFile(std::string_view(reinterpret_cast<const char*>(data), size));
  for (const auto& [key, value] : table) {
    Check(!key.empty() && IsTrimmedLine(key) && key.find(u'=') == std::u16string::npos);
    Check(IsTrimmedLine(value));
  }

  InstallAsCurrentTable(data, size);
  for (const auto& [key, value] : table) {
    Check(LookupTranslation(key) == value);
    Check(Translate(key) == (value.empty() ? key : value));
    // A text that is no key stays as it is.
    const std::u16string other = key + u"\x01";
    if (table.count(other) == 0) Check(LookupTranslation(other) == other);
  }
  return 0;
}
