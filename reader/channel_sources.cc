// What the wizard and the channel properties read: the template files and
// the sample list that offer channels, a feed's own title, a channel's
// description page and its full-text choice.
#include <set>

#include "platform/program_folder.h"
#include "platform/text.h"
#include "reader/catalog_file.h"
#include "reader/reader_data.h"
#include "store/data_root_lock.h"
#include "store/feed_parser.h"
#include "store/paths.h"
#include "store/template_document.h"

namespace wrenly::reader {
namespace {

// Reads one template file; each script goes to the channels before it, back
// to the previous script. Nothing when the file cannot be read.
std::optional<TemplateGroup> ReadTemplateFile(const std::string& path) {
  TemplateGroup group;
  std::size_t waiting = 0;  // the first channel without a script yet
  CTemplateDocument doc([&](const std::u16string& element, const std::u16string& first, const std::u16string& second) {
    if (element == u"template") {
      group.name = second;
    } else if (element == u"channel") {
      group.channels.push_back({first, second, {}});
    } else if (element == u"parse_article") {
      for (; waiting < group.channels.size(); ++waiting) group.channels[waiting].script = second;
    }
  });
  if (doc.LoadAndReport(path) != 1) return std::nullopt;
  return group;
}

}  // namespace

std::vector<TemplateGroup> ReaderData::ListTemplates(std::vector<std::string> folders) const {
  if (folders.empty()) folders = {root_ + "/Templates", GetProgramFolder() + "/Templates"};
  std::vector<TemplateGroup> groups;
  std::set<std::string> seen;
  for (const std::string& folder : folders) {
    for (const FoundFile& file : FindFiles(folder + "/*.xml")) {
      if (file.isFolder || !seen.insert(file.name).second) continue;
      if (auto group = ReadTemplateFile(folder + "/" + file.name)) groups.push_back(std::move(*group));
    }
  }
  return groups;
}

std::string ReaderData::SampleChannelsPath() const {
  const std::string downloaded = root_ + "/SampleChannels.opml";
  return FileExists(downloaded) ? downloaded : GetProgramFolder() + "/SampleChannels.opml";
}

std::optional<std::vector<OpmlEntry>> ReaderData::ReadOpml(const std::string& path) {
  return ReadOpmlEntries(path, nullptr);
}

std::u16string ReaderData::ChannelDescriptionHtml(int channel) const {
  const std::string path = ChannelPath(channel, ".xml");
  const DataRootLock lock(root_, LockMode::kShared);
  if (!FileExists(path)) return {};
  CFeedParser parser;
  if (parser.Load(path) != 1) return {};
  return parser.ChannelInfoHtml();
}

ValueResult<FullTextMode> ReaderData::FullText(std::u16string_view url) const {
  const DataRootLock lock(root_, LockMode::kShared);
  ListedCatalog catalog;
  if (Result loaded = LoadCatalog(*this, catalog); !loaded.done()) return {loaded};
  const CatalogEntry* entry = catalog.FindAddress(url);
  if (entry == nullptr) return {Result::Refused(Refusal::kNotFound, "no channel has the address \"" +
                                                                       Utf16ToUtf8(url) + "\"")};
  return {Result::Done(), ParseFullTextMode(entry->Get(u"fulltext")).value_or(FullTextMode::kTemplate)};
}

}  // namespace wrenly::reader
