// What the wizard and the channel properties read: the template files and
// the sample list that offer channels, a feed's own title, a channel's
// description page and its full-text choice.
#include <filesystem>
#include <set>

#include "net/transfer.h"
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

ValueResult<std::u16string> ReaderData::DownloadFeedTitle(std::u16string_view url, Receiver& progress) const {
  CreateFolder(root_);
  CreateFolder(root_ + "/ChannelData");
  const std::string path = root_ + "/ChannelData/Validate~.xml";
  std::uint32_t code = 0;
  std::u16string error;
  const HRESULT hr = DownloadUrlToFile(url, path, &code, &error, &progress);
  if (hr != S_OK || !FileExists(path))
    return {Result::Refused(Refusal::kFile, "the feed could not be downloaded")};
  CFeedParser parser;
  ValueResult<std::u16string> title;
  if (parser.Load(path) == 1 && parser.Kind() != FeedKind::kNotAFeed)
    title.value = parser.ChannelTitle().value_or(u"");
  else
    title.result = Result::Refused(Refusal::kInvalid, "the address gives no feed");
  std::error_code ec;
  std::filesystem::remove(path, ec);
  return title;
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
