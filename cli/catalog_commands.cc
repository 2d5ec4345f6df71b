#include "cli/catalog_commands.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>

#include "engine/feed_discovery.h"
#include "platform/text.h"
#include "reader/reader_data.h"
#include "store/full_text_mode.h"

namespace wrenly::cli {
namespace {

constexpr const char* kOthers = "Others";

// Positional arguments and "--name value" options; nothing when an option is
// unknown or lacks its value, or the count of positionals is not `count`.
struct ParsedArgs {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;
  std::map<std::string, bool> flags;
};

std::optional<ParsedArgs> Parse(const std::vector<std::string>& args, size_t count,
                                const std::vector<std::string>& valueOptions = {},
                                const std::vector<std::string>& flagOptions = {}) {
  ParsedArgs parsed;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() > 2 && a.starts_with("--")) {
      if (std::find(flagOptions.begin(), flagOptions.end(), a) != flagOptions.end()) {
        parsed.flags[a] = true;
      } else if (std::find(valueOptions.begin(), valueOptions.end(), a) != valueOptions.end() &&
                 i + 1 < args.size()) {
        parsed.options[a] = args[++i];
      } else {
        return std::nullopt;
      }
    } else {
      parsed.positional.push_back(a);
    }
  }
  if (parsed.positional.size() != count) return std::nullopt;
  return parsed;
}

// Prints a refusal ("Insert Channel failed..." as it stands) and gives the
// exit status of the result.
int Report(const reader::Result& result, std::ostream& err) {
  if (result.done()) return kExitOk;
  if (result.refusal == reader::Refusal::kExists && result.message.starts_with("Insert Channel failed"))
    err << result.message << '\n';
  else
    err << "wrenly-cli: " << result.message << '\n';
  return kExitFailed;
}

// --- channels -------------------------------------------------------------

nlohmann::json NumberOrNull(const std::u16string& text) {
  const std::string s = Utf16ToUtf8(text);
  long long value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return nullptr;
  return value;
}

// The full-text choice as stored, "template" when missing or unknown.
std::string FullTextModeText(const std::u16string& stored) {
  return Utf16ToUtf8(FullTextModeName(ParseFullTextMode(stored).value_or(FullTextMode::kTemplate)));
}

int RunChannels(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const auto parsed = Parse(args, 0, {}, {"--json"});
  if (!parsed) return UsageError("channels", err);
  std::vector<reader::CatalogEntry> entries;
  if (Report(reader::ReaderData::Current().ListChannels(entries), err) != kExitOk) return kExitFailed;
  for (const reader::CatalogEntry& row : entries) {
    const std::string id = Utf16ToUtf8(row.Get(u"uniqueID"));
    const std::string category = Utf16ToUtf8(row.category);
    const std::string title = Utf16ToUtf8(row.Get(u"text"));
    const std::string url = Utf16ToUtf8(row.Get(u"xmlUrl"));
    if (parsed->flags.contains("--json")) {
      nlohmann::ordered_json line = {{"id", NumberOrNull(row.Get(u"uniqueID"))},
                             {"category", category},
                             {"title", title},
                             {"url", url},
                             {"itemCount", NumberOrNull(row.Get(u"itemCount"))},
                             {"newItemCount", NumberOrNull(row.Get(u"newItemCount"))},
                             {"fulltext", FullTextModeText(row.Get(u"fulltext"))}};
      out << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    } else {
      out << id << '\t' << category << '\t' << title << '\t' << url << '\t'
          << Utf16ToUtf8(row.Get(u"itemCount")) << '\t' << Utf16ToUtf8(row.Get(u"newItemCount"))
          << '\n';
    }
  }
  return kExitOk;
}

// --- changes --------------------------------------------------------------

// A site's address is enough: the one feed it offers is subscribed, with
// the feed's title; several are listed for the person to choose from.
int AddDiscovered(const std::string& address, const std::string& category, std::ostream& out, std::ostream& err) {
  const FeedDiscovery found = DiscoverFeeds(Utf8ToUtf16(address));
  if (!found.error.empty()) {
    err << "wrenly-cli add: " << address << " could not be downloaded: " << Utf16ToUtf8(found.error) << '\n';
    return kExitFailed;
  }
  if (found.feeds.empty()) {
    err << "wrenly-cli add: no feed found at " << address << "; tried:\n";
    for (const std::u16string& tried : found.tried) err << "  " << Utf16ToUtf8(tried) << '\n';
    return kExitFailed;
  }
  if (found.feeds.size() > 1) {
    err << "wrenly-cli add: " << address << " offers " << found.feeds.size()
        << " feeds; add one of them by its address:\n";
    for (const DiscoveredFeed& feed : found.feeds) out << Utf16ToUtf8(feed.url) << '\t' << Utf16ToUtf8(feed.title) << '\n';
    return kExitUsage;
  }
  const reader::ValueResult<int> added =
      reader::ReaderData::Current().Subscribe(Utf8ToUtf16(category), found.feeds[0].title, found.feeds[0].url);
  if (Report(added.result, err) != kExitOk) return kExitFailed;
  out << added.value << '\t' << Utf16ToUtf8(found.feeds[0].url) << '\t' << Utf16ToUtf8(found.feeds[0].title) << '\n';
  return kExitOk;
}

// With a title the address is stored as given, without going on line; with
// none it is looked up (AddDiscovered).
int RunAdd(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  auto parsed = Parse(args, 2, {"--category"});
  if (!parsed) parsed = Parse(args, 1, {"--category"});
  if (!parsed) return UsageError("add", err);
  const std::string url = std::string(Trim(parsed->positional[0]));
  const bool titled = parsed->positional.size() == 2;
  const std::string title = titled ? std::string(Trim(parsed->positional[1])) : std::string();
  const auto category = parsed->options.find("--category");
  const std::string categoryName =
      category != parsed->options.end() ? std::string(Trim(category->second)) : kOthers;
  if (url.empty() || (titled && title.empty()) || categoryName.empty()) {
    err << "wrenly-cli: URL, TITLE and the category must not be empty\n";
    return kExitUsage;
  }
  if (!titled) return AddDiscovered(url, categoryName, out, err);
  const reader::ValueResult<int> added = reader::ReaderData::Current().Subscribe(
      Utf8ToUtf16(categoryName), Utf8ToUtf16(title), Utf8ToUtf16(url));
  if (Report(added.result, err) != kExitOk) return kExitFailed;
  out << added.value << '\n';
  return kExitOk;
}

int RunAddCategory(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
  const auto parsed = Parse(args, 1);
  if (!parsed || std::string(Trim(parsed->positional[0])).empty()) return UsageError("add-category", err);
  const std::u16string name = Utf8ToUtf16(std::string(Trim(parsed->positional[0])));
  return Report(reader::ReaderData::Current().AddCategory(name), err);
}

int RunRename(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
  const auto parsed = Parse(args, 2);
  if (!parsed || std::string(Trim(parsed->positional[1])).empty()) return UsageError("rename", err);
  const std::u16string oldText = Utf8ToUtf16(parsed->positional[0]);
  const std::u16string newText = Utf8ToUtf16(std::string(Trim(parsed->positional[1])));
  return Report(reader::ReaderData::Current().Rename(oldText, newText), err);
}

int RunMove(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
  const auto parsed = Parse(args, 2);
  if (!parsed) return UsageError("move", err);
  const std::u16string url = Utf8ToUtf16(parsed->positional[0]);
  const std::u16string category = Utf8ToUtf16(parsed->positional[1]);
  return Report(reader::ReaderData::Current().Move(url, category), err);
}

int RunDelete(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
  const auto parsed = Parse(args, 1);
  if (!parsed) return UsageError("delete", err);
  const std::u16string url = Utf8ToUtf16(parsed->positional[0]);
  return Report(reader::ReaderData::Current().Unsubscribe(url), err);
}

int RunDeleteCategory(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
  const auto parsed = Parse(args, 1);
  if (!parsed) return UsageError("delete-category", err);
  return Report(reader::ReaderData::Current().DeleteCategory(Utf8ToUtf16(parsed->positional[0])), err);
}

// --- files ----------------------------------------------------------------

int RunImport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const auto parsed = Parse(args, 1);
  if (!parsed) return UsageError("import", err);
  const reader::ValueResult<ImportCounts> imported =
      reader::ReaderData::Current().Import(parsed->positional[0]);
  if (Report(imported.result, err) != kExitOk) return kExitFailed;
  const ImportCounts& counts = imported.value;
  out << "added " << counts.channelsAdded << " channels, refused " << counts.channelsRefused
      << ", new categories " << counts.categoriesAdded << '\n';
  return kExitOk;
}

int RunExport(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
  const auto parsed = Parse(args, 1);
  if (!parsed) return UsageError("export", err);
  return Report(reader::ReaderData::Current().Export(parsed->positional[0]), err);
}

const std::vector<Command>& Table() {
  static const std::vector<Command> table = {
      {"channels", "[--json]",
       "Lists every channel: number, category, title, feed address, itemCount, newItemCount "
       "(tab-separated, or one JSON object per line with --json, which adds the full-text choice).",
       RunChannels},
      {"add", "URL [TITLE] [--category NAME]",
       "Adds a channel (to \"Others\" unless a category is given; a missing category is made) "
       "and prints its number. An address already subscribed is refused. Without TITLE, URL may "
       "also be a web page's address: the feed the page names (or serves at a usual path) is "
       "subscribed with its own title, and number, feed address and title are printed; when the "
       "page offers several feeds they are listed, one per line, and nothing is added (exit 2).",
       RunAdd},
      {"add-category", "NAME", "Adds an empty category.", RunAddCategory},
      {"rename", "OLD NEW", "Renames a category, or else the first channel titled OLD.", RunRename},
      {"move", "URL CATEGORY", "Moves the channel with that feed address into the category.",
       RunMove},
      {"delete", "URL", "Deletes the channel with that feed address and its files.", RunDelete},
      {"delete-category", "NAME", "Deletes a category with every channel in it and their files.",
       RunDeleteCategory},
      {"import", "FILE.opml",
       "Adds the channels of an OPML file: top-level channels go to \"Others\", top-level "
       "outlines without an address become categories.",
       RunImport},
      {"export", "FILE.opml", "Writes a copy of the catalog to FILE.opml.", RunExport},
  };
  return table;
}

}  // namespace

std::vector<Command> CatalogCommands() { return Table(); }

}  // namespace wrenly::cli
