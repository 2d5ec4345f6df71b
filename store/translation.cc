#include "store/translation.h"

#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>

#include "platform/program_folder.h"
#include "platform/text.h"
#include "platform/trace.h"
#include "store/settings.h"
#include "store/system_language.h"

namespace wrenly {
namespace {

struct LoadedTable {
  std::string code;
  TranslationTable entries;
};

// The table in use. A reload builds a new table and swaps the pointer, so a
// reader holds a complete table for as long as it looks something up.
std::mutex tableMutex;
std::shared_ptr<const LoadedTable> currentTable;

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f'; }

std::u16string_view Trimmed(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::shared_ptr<const LoadedTable> LoadTable(const std::string& code) {
  auto table = std::make_shared<LoadedTable>();
  table->code = code;
  const std::string path = TranslationFilePath(code);
  std::ifstream in(path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  table->entries = ParseTranslationFile(bytes);
  TraceF("Translation: %zu texts for %s from %s", table->entries.size(), code.c_str(), path.c_str());
  return table;
}

std::shared_ptr<const LoadedTable> TableFor(const std::string& code) {
  std::lock_guard lock(tableMutex);
  if (currentTable == nullptr || currentTable->code != code) currentTable = LoadTable(code);
  return currentTable;
}

std::u16string Lookup(const TranslationTable& table, std::u16string_view text) {
  const auto it = table.find(text);
  return it != table.end() ? it->second : std::u16string(text);
}

// A line that is a key becomes its translation as it stands. Any other line
// is looked up per tab-separated piece; the tabs stay. A translation is
// never looked up again, so a translation that is also a key stays put.
std::u16string TranslateLine(const TranslationTable& table, std::u16string_view line) {
  if (const auto it = table.find(line); it != table.end()) return it->second;
  std::u16string result;
  for (size_t start = 0;;) {
    const size_t end = line.find(u'\t', start);
    result += Lookup(table, line.substr(start, end - start));
    if (end == std::u16string_view::npos) return result;
    result += u'\t';
    start = end + 1;
  }
}

}  // namespace

std::string CurrentLanguageCode() {
  const std::u16string setting = GetSettingString(setting::kLanguage);
  return setting.empty() ? SystemLanguageAbbreviation() : Utf16ToUtf8(setting);
}

std::string TranslationFilePath(std::string_view code) {
  std::string root = Utf16ToUtf8(GetSettingString(setting::kRoot));
  if (root.empty()) root = GetProgramFolder();
  return root + "/Localization/" + std::string(code) + "/Default.txt";
}

TranslationTable ParseTranslationFile(std::string_view bytes) {
  TranslationTable table;
  if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0xFF ||
      static_cast<unsigned char>(bytes[1]) != 0xFE)
    return table;
  const std::u16string text = Utf16LEToUtf16(bytes.substr(2));
  std::u16string_view rest = text;
  for (size_t end; (end = rest.find(u'\n')) != std::u16string_view::npos; rest.remove_prefix(end + 1)) {
    const std::u16string_view line = rest.substr(0, end);
    const size_t equals = line.find(u'=');
    if (equals == std::u16string_view::npos) continue;
    const std::u16string_view key = Trimmed(line.substr(0, equals));
    if (key.empty()) continue;  // it would turn every empty text or piece into its value
    table.insert_or_assign(std::u16string(key), std::u16string(Trimmed(line.substr(equals + 1))));
  }
  return table;
}

std::u16string LookupTranslation(std::u16string_view text) {
  return Lookup(TableFor(CurrentLanguageCode())->entries, text);
}

std::u16string Translate(std::u16string_view text) {
  const std::shared_ptr<const LoadedTable> table = TableFor(CurrentLanguageCode());
  std::u16string result;
  for (size_t start = 0;;) {
    const size_t end = text.find(u'\n', start);
    result += TranslateLine(table->entries, text.substr(start, end - start));
    if (end == std::u16string_view::npos) break;
    result += u'\n';
    start = end + 1;
  }
  return result.empty() ? std::u16string(text) : result;
}

}  // namespace wrenly
