#include "store/system_language.h"

#include <cstdlib>
#include <utility>

namespace wrenly {
namespace {

// Language and territory as in "en_GB", then language alone as the fallback
// for territories the table does not list.
constexpr std::pair<std::string_view, std::string_view> kAbbreviations[] = {
    {"en_US", "ENU"}, {"en_GB", "ENG"}, {"en_AU", "ENA"}, {"en_CA", "ENC"}, {"en_NZ", "ENZ"},
    {"en_IE", "ENI"}, {"zh_CN", "CHS"}, {"zh_SG", "ZHI"}, {"zh_TW", "CHT"}, {"zh_HK", "ZHH"},
    {"de_DE", "DEU"}, {"de_AT", "DEA"}, {"de_CH", "DES"}, {"fr_FR", "FRA"}, {"fr_CA", "FRC"},
    {"fr_BE", "FRB"}, {"fr_CH", "FRS"}, {"es_ES", "ESN"}, {"es_MX", "ESM"}, {"pt_BR", "PTB"},
    {"pt_PT", "PTG"}, {"nl_NL", "NLD"}, {"nl_BE", "NLB"}, {"en", "ENU"},    {"zh", "CHS"},
    {"de", "DEU"},    {"fr", "FRA"},    {"es", "ESN"},    {"pt", "PTB"},    {"nl", "NLD"},
    {"it", "ITA"},    {"ja", "JPN"},    {"ko", "KOR"},    {"ru", "RUS"},    {"sv", "SVE"},
    {"da", "DAN"},    {"nb", "NOR"},    {"no", "NOR"},    {"fi", "FIN"},    {"pl", "PLK"},
    {"cs", "CSY"},    {"hu", "HUN"},    {"tr", "TRK"},    {"el", "ELL"},    {"he", "HEB"},
    {"ar", "ARA"},    {"th", "THA"},    {"uk", "UKR"},    {"ca", "CAT"},    {"ro", "ROM"},
};

std::string_view Lookup(std::string_view key) {
  for (const auto& [name, abbreviation] : kAbbreviations)
    if (name == key) return abbreviation;
  return {};
}

}  // namespace

std::string LanguageAbbreviationForLocale(std::string_view locale) {
  // "zh_CN.UTF-8@variant" -> "zh_CN"
  const size_t end = locale.find_first_of(".@");
  const std::string_view base = locale.substr(0, end);
  std::string_view found = Lookup(base);
  if (found.empty()) found = Lookup(base.substr(0, base.find('_')));
  return std::string(found.empty() ? "ENU" : found);
}

std::string SystemLanguageAbbreviation() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return LanguageAbbreviationForLocale(value);
  }
  return "ENU";
}

}  // namespace wrenly
