#include "cli/full_text_commands.h"

#include <fstream>
#include <optional>
#include <ostream>
#include <sstream>

#include "cli/cli_channel_panel.h"
#include "fetcher/article_extractor.h"
#include "fetcher/html_page_bytes.h"
#include "net/transfer.h"
#include "platform/text.h"
#include "reader/reader_data.h"
#include "store/full_text_mode.h"
#include "store/paths.h"

namespace wrenly::cli {
namespace {

// The file's bytes; false when it cannot be read or is larger than any page
// a download may bring.
bool ReadPage(const std::string& path, std::string& bytes, std::ostream& err) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) {
    err << "wrenly-cli extract: cannot read " << path << '\n';
    return false;
  }
  const std::streamoff size = in.tellg();
  if (size < 0 || static_cast<std::uint64_t>(size) > kMaxDownloadBytes) {
    err << "wrenly-cli extract: " << path << " is larger than a page may be (64 MiB)\n";
    return false;
  }
  bytes.resize(static_cast<size_t>(size));
  in.seekg(0);
  if (!in.read(bytes.data(), size)) {
    err << "wrenly-cli extract: cannot read " << path << '\n';
    return false;
  }
  return true;
}

// The feed address of the channel named by number, title or address.
std::optional<std::u16string> FindChannel(const std::vector<reader::CatalogEntry>& entries, const std::string& name) {
  for (const reader::CatalogEntry& entry : entries)
    if (std::to_string(entry.Number()) == name || Utf16ToUtf8(entry.Get(u"text")) == name ||
        Utf16ToUtf8(entry.Get(u"xmlUrl")) == name)
      return entry.Get(u"xmlUrl");
  return std::nullopt;
}

int RunFullText(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
  if (args.size() != 2) return UsageError("fulltext", err);
  const std::optional<FullTextMode> mode = ParseFullTextMode(Utf8ToUtf16(args[1]));
  if (!mode) return UsageError("fulltext", err);
  reader::ReaderData data = reader::ReaderData::Current();
  std::vector<reader::CatalogEntry> entries;
  if (!FileExists(data.CatalogPath()) || !data.ListChannels(entries).done()) {
    err << "wrenly-cli fulltext: cannot read the catalog " << data.CatalogPath() << '\n';
    return kExitFailed;
  }
  const std::optional<std::u16string> url = FindChannel(entries, args[0]);
  if (!url) {
    err << "wrenly-cli fulltext: no channel \"" << args[0] << "\"\n";
    return kExitFailed;
  }
  if (const reader::Result set = data.SetFullText(*url, *mode); !set.done()) {
    err << "wrenly-cli fulltext: " << set.message << '\n';
    return kExitFailed;
  }
  return kExitOk;
}

int RunExtract(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string path, url;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--url" && i + 1 < args.size()) {
      url = args[++i];
    } else if (path.empty() && !args[i].starts_with("--")) {
      path = args[i];
    } else {
      return UsageError("extract", err);
    }
  }
  if (path.empty()) return UsageError("extract", err);
  std::string bytes;
  if (!ReadPage(path, bytes, err)) return kExitFailed;
  if (!LooksLikeHtml(bytes)) {
    err << "wrenly-cli extract: " << path << " is not an HTML page\n";
    return kExitFailed;
  }
  const ArticleExtraction article = ExtractArticle(HtmlPageToUtf8(bytes), url);
  if (article.refused) {
    err << "wrenly-cli extract: " << path << " is built to defeat the HTML parser; it is not read\n";
    return kExitFailed;
  }
  if (article.html.empty()) {
    err << "wrenly-cli extract: no article found in " << path << '\n';
    return kExitFailed;
  }
  out << article.html << '\n';
  return kExitOk;
}

const std::vector<Command>& Table() {
  static const std::vector<Command> table = {
      {"fulltext", "CHANNEL auto|template|off",
       "Sets the channel's full-text choice (CHANNEL: number, title or feed address): auto extracts "
       "every article automatically, template uses the channel's template when it has one (the "
       "default), off fetches no full texts. Applies from the next refresh.",
       RunFullText},
      {"extract", "FILE.html [--url URL]",
       "Prints the article that automatic extraction cuts out of a saved page (HTML, UTF-8); "
       "relative addresses are resolved against URL. Exit 1 when the page has no article.",
       RunExtract},
  };
  return table;
}

}  // namespace

std::vector<Command> FullTextCommands() { return Table(); }

}  // namespace wrenly::cli
