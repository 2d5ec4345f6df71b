#include "cli/catalog_commands.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <sstream>

#include "platform/text.h"
#include "platform/atomic_file.h"
#include "store/channel_catalog.h"
#include "store/channel_files.h"
#include "store/full_text_mode.h"
#include "store/opml_import.h"
#include "store/paths.h"

namespace wrenly::cli {
namespace {

constexpr const char* kOthers = "Others";
constexpr const char* kInsertFailed =
    "Insert Channel failed. Please check whether the channel exists or not.";

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

bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  if (!in || !(content << in.rdbuf()) || in.bad()) {
    *error = "cannot read " + path;
    return false;
  }
  *bytes = content.str();
  return true;
}

std::string CatalogPath() { return ChannelDataPath("Channels.opml"); }

// Loads the catalog, or starts an empty one when there is no file yet.
bool OpenCatalog(CChannelCatalog& catalog, std::ostream& err) {
  CreateFolder(GetDataRoot());
  CreateFolder(ChannelDataFolder());
  const std::string path = CatalogPath();
  catalog.SetPath(path);
  if (!FileExists(path)) return catalog.CreateEmpty() == 1;
  std::string problem;
  if (catalog.LoadAndReport(path) != 1)
    problem = catalog.LastError();
  else if (!catalog.HasBody())
    problem = "it has no <body> element";
  if (problem.empty()) return true;
  err << "wrenly-cli: cannot read the catalog " << path << ": " << problem
      << "\nThe file was left as it is.\n";
  return false;
}

// kExitOk when the last change reached the disk.
int SaveStatus(const CChannelCatalog& catalog, std::ostream& err) {
  if (catalog.LastSaveOk()) return kExitOk;
  err << "wrenly-cli: " << catalog.LastError() << '\n';
  return kExitFailed;
}

int NotFound(std::ostream& err, const std::string& what) {
  err << "wrenly-cli: " << what << '\n';
  return kExitFailed;
}

// --- channels -------------------------------------------------------------

struct ChannelRow {
  std::u16string category;
  std::map<std::u16string, std::u16string> attributes;
};

// Reads the catalog and keeps the outlines the channel list shows: those
// reported with a category, and top-level outlines that carry an address.
class ChannelLister : public CChannelCatalog {
 public:
  ChannelLister()
      : CChannelCatalog([this](const std::u16string& category, const std::u16string& name,
                               const std::u16string& value) {
          if (name.empty()) return;
          current_.category = category;
          current_.attributes[name] = value;
        }) {}

  void Visit(const tinyxml2::XMLElement* parent, const tinyxml2::XMLElement* element) override {
    current_ = {};
    CChannelCatalog::Visit(parent, element);
    const auto url = current_.attributes.find(u"xmlUrl");
    if (!current_.category.empty() || (url != current_.attributes.end() && !url->second.empty()))
      rows.push_back(current_);
  }

  std::vector<ChannelRow> rows;

 private:
  ChannelRow current_;
};

std::u16string Get(const ChannelRow& row, const char16_t* name) {
  const auto it = row.attributes.find(name);
  return it != row.attributes.end() ? it->second : std::u16string();
}

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
  ChannelLister lister;
  if (!OpenCatalog(lister, err)) return kExitFailed;
  for (const ChannelRow& row : lister.rows) {
    const std::string id = Utf16ToUtf8(Get(row, u"uniqueID"));
    const std::string category = Utf16ToUtf8(row.category);
    const std::string title = Utf16ToUtf8(Get(row, u"text"));
    const std::string url = Utf16ToUtf8(Get(row, u"xmlUrl"));
    if (parsed->flags.contains("--json")) {
      nlohmann::ordered_json line = {{"id", NumberOrNull(Get(row, u"uniqueID"))},
                             {"category", category},
                             {"title", title},
                             {"url", url},
                             {"itemCount", NumberOrNull(Get(row, u"itemCount"))},
                             {"newItemCount", NumberOrNull(Get(row, u"newItemCount"))},
                             {"fulltext", FullTextModeText(Get(row, u"fulltext"))}};
      out << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    } else {
      out << id << '\t' << category << '\t' << title << '\t' << url << '\t'
          << Utf16ToUtf8(Get(row, u"itemCount")) << '\t' << Utf16ToUtf8(Get(row, u"newItemCount"))
          << '\n';
    }
  }
  return kExitOk;
}

// --- changes --------------------------------------------------------------

int RunAdd(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const auto parsed = Parse(args, 2, {"--category"});
  if (!parsed) return UsageError("add", err);
  const std::string url = std::string(Trim(parsed->positional[0]));
  const std::string title = std::string(Trim(parsed->positional[1]));
  const auto category = parsed->options.find("--category");
  const std::string categoryName =
      category != parsed->options.end() ? std::string(Trim(category->second)) : kOthers;
  if (url.empty() || title.empty() || categoryName.empty()) {
    err << "wrenly-cli: URL, TITLE and the category must not be empty\n";
    return kExitUsage;
  }
  CChannelCatalog catalog;
  if (!OpenCatalog(catalog, err)) return kExitFailed;
  const int number =
      catalog.AddChannel(Utf8ToUtf16(categoryName), Utf8ToUtf16(title), Utf8ToUtf16(url));
  if (number == 0) {
    err << kInsertFailed << '\n';
    return kExitFailed;
  }
  if (SaveStatus(catalog, err) != kExitOk) return kExitFailed;
  out << number << '\n';
  return kExitOk;
}

int RunAddCategory(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
  const auto parsed = Parse(args, 1);
  if (!parsed || std::string(Trim(parsed->positional[0])).empty()) return UsageError("add-category", err);
  const std::u16string name = Utf8ToUtf16(std::string(Trim(parsed->positional[0])));
  CChannelCatalog catalog;
  if (!OpenCatalog(catalog, err)) return kExitFailed;
  if (catalog.HasCategory(name))
    return NotFound(err, "the category \"" + Utf16ToUtf8(name) + "\" already exists");
  catalog.AddCategory(name);
  return SaveStatus(catalog, err);
}

int RunRename(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
  const auto parsed = Parse(args, 2);
  if (!parsed || std::string(Trim(parsed->positional[1])).empty()) return UsageError("rename", err);
  const std::u16string oldText = Utf8ToUtf16(parsed->positional[0]);
  const std::u16string newText = Utf8ToUtf16(std::string(Trim(parsed->positional[1])));
  CChannelCatalog catalog;
  if (!OpenCatalog(catalog, err)) return kExitFailed;
  // A category name means the category, even when a channel has the same title.
  const int found = catalog.HasCategory(oldText) ? catalog.RenameCategory(oldText, newText)
                                                 : catalog.RenameByText(oldText, newText);
  if (found == 0)
    return NotFound(err, "no category or channel is named \"" + parsed->positional[0] + "\"");
  return SaveStatus(catalog, err);
}

int RunMove(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
  const auto parsed = Parse(args, 2);
  if (!parsed) return UsageError("move", err);
  const std::u16string url = Utf8ToUtf16(parsed->positional[0]);
  const std::u16string category = Utf8ToUtf16(parsed->positional[1]);
  CChannelCatalog catalog;
  if (!OpenCatalog(catalog, err)) return kExitFailed;
  if (catalog.GetOutlineAttribute(url, "xmlUrl", nullptr) == 0)
    return NotFound(err, "no channel has the address \"" + parsed->positional[0] + "\"");
  if (!catalog.HasCategory(category))
    return NotFound(err, "there is no category \"" + parsed->positional[1] + "\"");
  if (catalog.MoveToCategory(url, category) == 0)
    return NotFound(err, "the channel cannot be moved into itself");
  return SaveStatus(catalog, err);
}

int RunDelete(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
  const auto parsed = Parse(args, 1);
  if (!parsed) return UsageError("delete", err);
  const std::u16string url = Utf8ToUtf16(parsed->positional[0]);
  CChannelCatalog catalog;
  if (!OpenCatalog(catalog, err)) return kExitFailed;
  std::u16string number;
  if (catalog.GetOutlineAttribute(url, "uniqueID", &number) == 0 || catalog.DeleteByUrl(url) == 0)
    return NotFound(err, "no channel has the address \"" + parsed->positional[0] + "\"");
  if (SaveStatus(catalog, err) != kExitOk) return kExitFailed;
  // The channel's files go only once the catalog no longer names the channel.
  const nlohmann::json channel = NumberOrNull(number);
  if (channel.is_number() && channel.get<long long>() > 0)
    DeleteChannelFiles(ChannelDataFolder(), static_cast<int>(channel.get<long long>()));
  return kExitOk;
}

int RunDeleteCategory(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
  const auto parsed = Parse(args, 1);
  if (!parsed) return UsageError("delete-category", err);
  CChannelCatalog catalog;
  if (!OpenCatalog(catalog, err)) return kExitFailed;
  if (catalog.DeleteCategory(Utf8ToUtf16(parsed->positional[0])) == 0)
    return NotFound(err, "there is no category \"" + parsed->positional[0] + "\"");
  return SaveStatus(catalog, err);
}

// --- files ----------------------------------------------------------------

int RunImport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const auto parsed = Parse(args, 1);
  if (!parsed) return UsageError("import", err);
  std::string error;
  const auto entries = ReadOpmlEntries(parsed->positional[0], &error);
  if (!entries) {
    err << "wrenly-cli: cannot read " << parsed->positional[0] << ": " << error << '\n';
    return kExitFailed;
  }
  CChannelCatalog catalog;
  if (!OpenCatalog(catalog, err)) return kExitFailed;
  const ImportCounts counts = AddOpmlEntries(catalog, *entries, Utf8ToUtf16(kOthers));
  if (SaveStatus(catalog, err) != kExitOk) return kExitFailed;
  out << "added " << counts.channelsAdded << " channels, refused " << counts.channelsRefused
      << ", new categories " << counts.categoriesAdded << '\n';
  return kExitOk;
}

int RunExport(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
  const auto parsed = Parse(args, 1);
  if (!parsed) return UsageError("export", err);
  CreateFolder(ChannelDataFolder());
  const std::string path = CatalogPath();
  if (!FileExists(path)) return NotFound(err, "there is no catalog yet (" + path + ")");
  std::string bytes, error;
  if (!ReadWholeFile(path, &bytes, &error) ||
      !WriteFileAtomically(parsed->positional[0], bytes, &error)) {
    err << "wrenly-cli: cannot export to " << parsed->positional[0] << ": " << error << '\n';
    return kExitFailed;
  }
  return kExitOk;
}

const std::vector<Command>& Table() {
  static const std::vector<Command> table = {
      {"channels", "[--json]",
       "Lists every channel: number, category, title, feed address, itemCount, newItemCount "
       "(tab-separated, or one JSON object per line with --json, which adds the full-text choice).",
       RunChannels},
      {"add", "URL TITLE [--category NAME]",
       "Adds a channel (to \"Others\" unless a category is given; a missing category is made) "
       "and prints its number.",
       RunAdd},
      {"add-category", "NAME", "Adds an empty category.", RunAddCategory},
      {"rename", "OLD NEW", "Renames a category, or else the first channel titled OLD.", RunRename},
      {"move", "URL CATEGORY", "Moves the channel with that feed address into the category.",
       RunMove},
      {"delete", "URL", "Deletes the channel with that feed address and its files.", RunDelete},
      {"delete-category", "NAME", "Deletes a category with every channel in it.",
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
