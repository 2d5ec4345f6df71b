#include "store/full_text_mode.h"

#include "platform/text.h"

namespace wrenly {
namespace {

constexpr char16_t kFullTextAttributeU[] = u"fulltext";

}  // namespace

std::u16string FullTextModeName(FullTextMode mode) {
  switch (mode) {
    case FullTextMode::kAutomatic: return u"automatic";
    case FullTextMode::kOff: return u"off";
    case FullTextMode::kTemplate: break;
  }
  return u"template";
}

std::optional<FullTextMode> ParseFullTextMode(std::u16string_view text) {
  const std::u16string lower = AsciiLower(text);
  if (lower == u"template") return FullTextMode::kTemplate;
  if (lower == u"automatic" || lower == u"auto") return FullTextMode::kAutomatic;
  if (lower == u"off") return FullTextMode::kOff;
  return std::nullopt;
}

FullTextMode GetFullTextMode(CChannelCatalog& catalog, std::u16string_view url) {
  std::u16string value;
  if (catalog.GetOutlineAttribute(url, kFullTextAttribute, &value) != 1) return FullTextMode::kTemplate;
  return ParseFullTextMode(value).value_or(FullTextMode::kTemplate);
}

int SetFullTextMode(CChannelCatalog& catalog, std::u16string_view url, FullTextMode mode) {
  return catalog.SetOutlineAttribute(url, kFullTextAttribute, FullTextModeName(mode));
}

std::map<int, FullTextMode> ReadFullTextModes(const std::string& catalogPath) {
  // Each element's reports start afresh, so that an outline without a
  // closing report never lends its attributes to the next one.
  class ModeReader : public CChannelCatalog {
   public:
    ModeReader()
        : CChannelCatalog([this](const std::u16string&, const std::u16string& name, const std::u16string& value) {
            if (name == u"uniqueID") number_ = ParseDecimal(value);
            if (name == kFullTextAttributeU) mode_ = ParseFullTextMode(value);
            // The first outline of a number holds its choice.
            if (name.empty() && value.empty() && number_ > 0 && mode_) modes.emplace(number_, *mode_);
          }) {}
    void Visit(const tinyxml2::XMLElement* parent, const tinyxml2::XMLElement* element) override {
      number_ = 0;
      mode_.reset();
      CChannelCatalog::Visit(parent, element);
    }
    std::map<int, FullTextMode> modes;

   private:
    int number_ = 0;
    std::optional<FullTextMode> mode_;
  };
  ModeReader reader;
  reader.LoadAndReport(catalogPath);
  return std::move(reader.modes);
}

}  // namespace wrenly
