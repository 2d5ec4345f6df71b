#include "store/opml_import.h"

#include "platform/text.h"
#include "store/full_text_mode.h"

namespace wrenly {
namespace {

// A catalog that also tells the tree builder where each element's reports
// begin; the reports themselves are the catalog's own.
class OpmlReader : public CChannelCatalog {
 public:
  explicit OpmlReader(OpmlTreeBuilder& builder)
      : CChannelCatalog([&builder](const std::u16string& category, const std::u16string& name,
                                   const std::u16string& value) {
          builder.Report(category, name, value);
        }),
        builder_(builder) {}

  void Visit(const tinyxml2::XMLElement* parent, const tinyxml2::XMLElement* element) override {
    builder_.BeginOutline();
    CChannelCatalog::Visit(parent, element);
  }

 private:
  OpmlTreeBuilder& builder_;
};

}  // namespace

void OpmlTreeBuilder::BeginOutline() { pending_ = {}; }

void OpmlTreeBuilder::Report(const std::u16string& category, const std::u16string& name,
                             const std::u16string& value) {
  if (name == u"text") pending_.text = value;
  if (name == u"title") pending_.title = value;
  if (name == u"xmlUrl") pending_.url = value;
  if (name == u"fulltext") pending_.fullText = value;
  if (!name.empty() || !value.empty()) return;

  OpmlEntry entry;
  entry.text = !pending_.text.empty() ? pending_.text : pending_.title;
  if (entry.text.empty()) entry.text = pending_.url;
  entry.url = pending_.url;
  entry.fullText = pending_.fullText;
  pending_ = {};
  if (category.empty()) {
    entries_.push_back(std::move(entry));
    return;
  }
  const std::u16string wanted = AsciiLower(category);
  for (OpmlEntry& top : entries_) {
    if (AsciiLower(top.text) == wanted) {
      top.children.push_back(std::move(entry));
      return;
    }
  }
}

std::optional<std::vector<OpmlEntry>> ReadOpmlEntries(const std::string& path, std::string* error) {
  OpmlTreeBuilder builder;
  OpmlReader reader(builder);
  if (reader.LoadAndReport(path) != 1) {
    if (error) *error = reader.LastError();
    return std::nullopt;
  }
  if (!reader.HasBody()) {
    if (error) *error = "the file has no <body> element, so it holds no outlines";
    return std::nullopt;
  }
  return builder.entries();
}

ImportCounts AddOpmlEntries(CChannelCatalog& catalog, const std::vector<OpmlEntry>& entries,
                            std::u16string_view others) {
  ImportCounts counts;
  const auto addChannel = [&](std::u16string_view category, const OpmlEntry& channel) {
    // An outline without a feed address is no channel to subscribe to.
    if (channel.url.empty() || catalog.AddChannel(category, channel.text, channel.url) == 0) {
      ++counts.channelsRefused;
      return;
    }
    ++counts.channelsAdded;
    if (const std::optional<FullTextMode> mode = ParseFullTextMode(channel.fullText))
      SetFullTextMode(catalog, channel.url, *mode);
  };
  for (const OpmlEntry& top : entries) {
    if (top.url.empty()) {
      if (catalog.AddChannel(u"", top.text, u"") > 0) ++counts.categoriesAdded;
    } else {
      addChannel(others, top);
    }
    for (const OpmlEntry& child : top.children) addChannel(top.text, child);
  }
  return counts;
}

}  // namespace wrenly
