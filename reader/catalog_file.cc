#include "reader/catalog_file.h"

#include "platform/text.h"
#include "reader/feed_address.h"
#include "store/channel_files.h"
#include "store/paths.h"

namespace wrenly::reader {

std::u16string CatalogEntry::Get(std::u16string_view name) const {
  const auto it = attributes.find(std::u16string(name));
  return it != attributes.end() ? it->second : std::u16string();
}

int CatalogEntry::Number() const { return ParseDecimal(Get(u"uniqueID")); }

ListedCatalog::ListedCatalog()
    : CChannelCatalog([this](const std::u16string& category, const std::u16string& name, const std::u16string& value) {
        if (name.empty()) return;
        current_.category = category;
        current_.attributes[name] = value;
      }) {}

void ListedCatalog::Visit(const tinyxml2::XMLElement* parent, const tinyxml2::XMLElement* element) {
  current_ = {};
  CChannelCatalog::Visit(parent, element);
  if (!current_.category.empty() || !current_.Get(u"xmlUrl").empty()) {
    entries.push_back(current_);
    return;
  }
  const std::u16string title = current_.attributes.count(u"text") ? current_.Get(u"text") : current_.Get(u"title");
  if (!title.empty()) categories.push_back(title);
}

const CatalogEntry* ListedCatalog::FindAddress(std::u16string_view url) const {
  for (const CatalogEntry& entry : entries) {
    const std::u16string address = entry.Get(u"xmlUrl");
    if (!address.empty() && SameFeedAddress(address, url)) return &entry;
  }
  return nullptr;
}

const CatalogEntry* ListedCatalog::FindNumber(int channel) const {
  for (const CatalogEntry& entry : entries)
    if (entry.Number() == channel && !entry.Get(u"xmlUrl").empty()) return &entry;
  return nullptr;
}

Result LoadCatalog(const ReaderData& data, ListedCatalog& catalog) {
  CreateFolder(data.root());
  CreateFolder(data.root() + "/ChannelData");
  const std::string path = data.CatalogPath();
  catalog.SetPath(path);
  if (!FileExists(path)) {
    catalog.CreateEmpty();
    return Result::Done();
  }
  std::string problem;
  if (catalog.LoadAndReport(path) != 1)
    problem = catalog.LastError();
  else if (!catalog.HasBody())
    problem = "it has no <body> element";
  if (problem.empty()) return Result::Done();
  return Result::Refused(Refusal::kUnreadableCatalog,
                         "cannot read the catalog " + path + ": " + problem + "\nThe file was left as it is.");
}

Result Saved(const CChannelCatalog& catalog) {
  return catalog.LastSaveOk() ? Result::Done() : Result::Refused(Refusal::kFile, catalog.LastError());
}

ReaderData::ReaderData(std::string dataRoot) : root_(std::move(dataRoot)) {}

ReaderData ReaderData::Current() { return ReaderData(GetDataRoot()); }

std::string ReaderData::CatalogPath() const { return root_ + "/ChannelData/Channels.opml"; }

std::string ReaderData::ChannelPath(int channel, std::string_view suffix) const {
  return root_ + "/ChannelData/" + ChannelFileName(channel, suffix);
}

}  // namespace wrenly::reader
