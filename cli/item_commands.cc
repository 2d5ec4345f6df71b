#include "cli/item_commands.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>

#include "platform/text.h"
#include "store/channel_catalog.h"
#include "store/channel_files.h"
#include "store/channel_store.h"
#include "store/dates.h"
#include "store/feed_parser.h"
#include "store/paths.h"

namespace wrenly::cli {
namespace {

const Command& Find(const char* name);

std::optional<int> ChannelNumber(const std::string& text) {
  int number = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (ec != std::errc() || end != text.data() + text.size() || number < 0) return std::nullopt;
  return number;
}

std::string ChannelPath(int channel, const char* suffix) {
  return ChannelDataPath(ChannelFileName(channel, suffix));
}

// Splits "--json" off; the positional arguments must number min..max.
struct Args {
  std::vector<std::string> positional;
  bool json = false;
};
std::optional<Args> Split(const std::vector<std::string>& args, size_t min, size_t max,
                          bool allowJson) {
  Args out;
  for (const std::string& a : args) {
    if (allowJson && a == "--json")
      out.json = true;
    else if (a.starts_with("--"))
      return std::nullopt;
    else
      out.positional.push_back(a);
  }
  if (out.positional.size() < min || out.positional.size() > max) return std::nullopt;
  return out;
}

int Failed(std::ostream& err, const std::string& message) {
  err << "wrenly-cli: " << message << '\n';
  return kExitFailed;
}

nlohmann::json TextOrNull(const std::optional<std::u16string>& text) {
  return text ? nlohmann::json(Utf16ToUtf8(*text)) : nlohmann::json(nullptr);
}

std::u16string CanonicalOrAsWritten(const std::u16string& date) {
  std::u16string canonical;
  return CanonicalizeDate(date, canonical) ? canonical : date;
}

// Stores the channel's counts in the catalog as "itemCount" and
// "newItemCount", as the channel list does after a refresh or a mark. The
// channel is found by its number through the catalog's reports; a catalog
// that does not name it is left alone.
void StoreCounts(int channel, std::ostream& err) {
  const std::string path = ChannelDataPath("Channels.opml");
  if (!FileExists(path)) return;
  const std::u16string number = Utf8ToUtf16(std::to_string(channel));
  std::optional<std::u16string> address;
  std::u16string id, url;
  CChannelCatalog catalog([&](const std::u16string&, const std::u16string& name,
                              const std::u16string& value) {
    if (name == u"uniqueID") id = value;
    if (name == u"xmlUrl") url = value;
    if (!name.empty()) return;
    if (!address && !url.empty() && id == number) address = url;
    id.clear();
    url.clear();
  });
  if (catalog.LoadAndReport(path) == 0 || !address) return;
  const ItemCounts counts = CountItems(ChannelPath(channel, ".bin"));
  if (!counts.readable) return;  // unknown counts must not overwrite the stored ones
  catalog.SetOutlineAttribute(*address, "itemCount", Utf8ToUtf16(std::to_string(counts.total)));
  catalog.SetOutlineAttribute(*address, "newItemCount",
                              Utf8ToUtf16(std::to_string(counts.total - counts.read)));
  if (!catalog.LastSaveOk()) err << "wrenly-cli: " << catalog.LastError() << '\n';
}

// --- parse ------------------------------------------------------------------

void PrintChannel(const CFeedParser& feed, bool json, std::ostream& out) {
  const char* kind = FeedKindName(feed.Kind());
  if (json) {
    out << nlohmann::json{{"kind", kind},
                          {"title", TextOrNull(feed.ChannelTitle())},
                          {"link", TextOrNull(feed.ChannelLink())},
                          {"logo", TextOrNull(feed.LogoAddress())}}
               .dump()
        << '\n';
    return;
  }
  out << "kind: " << kind << "\ntitle: " << Utf16ToUtf8(feed.ChannelTitle().value_or(u""))
      << "\nlink: " << Utf16ToUtf8(feed.ChannelLink().value_or(u""))
      << "\nlogo: " << Utf16ToUtf8(feed.LogoAddress().value_or(u"")) << '\n';
}

void PrintFeedItem(const FeedItem& item, bool json, std::ostream& out) {
  const std::string date = Utf16ToUtf8(CanonicalOrAsWritten(item.date));
  if (json) {
    out << nlohmann::json{{"title", Utf16ToUtf8(item.title)},
                          {"link", Utf16ToUtf8(item.link)},
                          {"date", date},
                          {"description", Utf16ToUtf8(item.description)}}
               .dump()
        << '\n';
    return;
  }
  out << Utf16ToUtf8(item.title) << '\t' << Utf16ToUtf8(item.link) << '\t' << date << '\t'
      << item.description.size() << '\n';
}

int RunParse(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const auto parsed = Split(args, 1, 1, true);
  if (!parsed) return UsageError(Find("parse"), err);
  const std::string& path = parsed->positional[0];
  CFeedParser feed;
  if (!FileExists(path)) return Failed(err, "cannot read " + path);
  if (feed.Load(path) == 0) err << "wrenly-cli: " << path << ": " << feed.LastError() << '\n';
  if (feed.Kind() == FeedKind::kNotAFeed) {
    if (parsed->json)
      out << nlohmann::json{{"kind", FeedKindName(FeedKind::kNotAFeed)}}.dump() << '\n';
    else
      out << "kind: " << FeedKindName(FeedKind::kNotAFeed) << '\n';
    return kExitFailed;
  }
  PrintChannel(feed, parsed->json, out);
  feed.ForEachItem([&](const FeedItem& item) { PrintFeedItem(item, parsed->json, out); });
  return kExitOk;
}

// --- merge ------------------------------------------------------------------

bool CopyFile(const std::string& from, const std::string& to) {
  std::error_code ec;
  return std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing,
                                    ec);
}

int RunMerge(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const auto parsed = Split(args, 2, 2, false);
  const auto channel = parsed ? ChannelNumber(parsed->positional[0]) : std::nullopt;
  if (!channel) return UsageError(Find("merge"), err);
  const std::string& source = parsed->positional[1];
  if (!FileExists(source)) return Failed(err, "cannot read " + source);
  CreateFolder(GetDataRoot());
  CreateFolder(ChannelDataFolder());
  const std::string fresh = ChannelPath(*channel, "~.xml");
  if (!CopyFile(source, fresh)) return Failed(err, "cannot write " + fresh);

  CFeedParser feed;
  const bool loaded = feed.Load(fresh) == 1;
  if (!loaded || feed.MergeItems() == 0) {
    std::remove(fresh.c_str());
    if (!feed.merged().written)
      return Failed(err, "the items of channel " + std::to_string(*channel) + " could not be written");
    return Failed(err, source + " is not a feed" + (loaded ? "" : ": " + feed.LastError()) +
                           "; nothing was changed");
  }
  DeleteErrorRecord(ChannelPath(*channel, ".bin"));
  if (std::rename(fresh.c_str(), ChannelPath(*channel, ".xml").c_str()) != 0)
    return Failed(err, "cannot rename " + fresh);
  StoreCounts(*channel, err);
  out << feed.newItemCount() << '\n';
  return kExitOk;
}

// --- items, mark, delete-item ------------------------------------------------

void PrintRecord(const ItemRecord& r, bool json, std::ostream& out) {
  if (json) {
    out << nlohmann::json{{"title", Utf16ToUtf8(r.title)},
                          {"link", Utf16ToUtf8(r.link)},
                          {"date", Utf16ToUtf8(r.date)},
                          {"flag", r.flag},
                          {"type", r.type},
                          {"description", Utf16ToUtf8(r.description)}}
               .dump()
        << '\n';
    return;
  }
  out << Utf16ToUtf8(r.title) << '\t' << Utf16ToUtf8(r.link) << '\t' << Utf16ToUtf8(r.date)
      << '\t' << r.flag << '\t' << r.type << '\t' << r.description.size() << '\n';
}

int RunItems(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const auto parsed = Split(args, 1, 1, true);
  const auto channel = parsed ? ChannelNumber(parsed->positional[0]) : std::nullopt;
  if (!channel) return UsageError(Find("items"), err);
  CChannelStore store(ChannelPath(*channel, ".bin"), false);
  while (store.ReadNext()) PrintRecord(store.current(), parsed->json, out);
  return kExitOk;
}

int RunMark(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
  const auto parsed = Split(args, 2, 3, false);
  const auto channel = parsed ? ChannelNumber(parsed->positional[0]) : std::nullopt;
  const std::string state = parsed ? parsed->positional[1] : "";
  if (!channel || (state != "read" && state != "unread")) return UsageError(Find("mark"), err);
  const std::u16string link =
      parsed->positional.size() == 3 ? Utf8ToUtf16(parsed->positional[2]) : u"";
  CChannelStore store(ChannelPath(*channel, ".bin"), false);
  if (!link.empty() && !store.ContainsLink(link))
    return Failed(err, "channel " + parsed->positional[0] + " has no item " + parsed->positional[2]);
  // Two passes set or clear the read bit and keep the full-text bit:
  // 2 then 3 turn 0 into 2 and 1 into 3; 0 then 1 undo that.
  const bool read = state == "read";
  store.UpdateField(link, ItemField::kReadFlag, read ? kFlagRead : kFlagUnread);
  store.UpdateField(link, ItemField::kReadFlag, read ? kFlagReadFullText : kFlagUnreadFullText);
  StoreCounts(*channel, err);
  return kExitOk;
}

int RunDeleteItem(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
  const auto parsed = Split(args, 2, 2, false);
  const auto channel = parsed ? ChannelNumber(parsed->positional[0]) : std::nullopt;
  if (!channel) return UsageError(Find("delete-item"), err);
  CChannelStore store(ChannelPath(*channel, ".bin"), false);
  if (!store.DeleteItem(Utf8ToUtf16(parsed->positional[1])))
    return Failed(err, "channel " + parsed->positional[0] + " has no item " + parsed->positional[1]);
  StoreCounts(*channel, err);
  return kExitOk;
}

const std::vector<Command>& Table() {
  static const std::vector<Command> table = {
      {"parse", "FEEDFILE [--json]",
       "Reads a feed document without touching any store: the channel's title, link and logo, "
       "its kind (rss, rdf, atom) and its items.",
       RunParse},
      {"merge", "CHANNEL FEEDFILE",
       "Merges a feed document into channel CHANNEL's items as a refresh does (the catalog gets "
       "the new counts) and prints how "
       "many items were new.",
       RunMerge},
      {"items", "CHANNEL [--json]",
       "Lists the items of channel CHANNEL: title, link, date, flag, type, description length.",
       RunItems},
      {"mark", "CHANNEL read|unread [LINK]",
       "Marks one item, or every item, of channel CHANNEL read or unread.", RunMark},
      {"delete-item", "CHANNEL LINK",
       "Deletes one item of channel CHANNEL with its full text and pictures.", RunDeleteItem},
  };
  return table;
}

const Command& Find(const char* name) {
  for (const Command& c : Table()) {
    if (std::string_view(c.name) == name) return c;
  }
  return Table().front();
}

}  // namespace

std::vector<Command> ItemCommands() { return Table(); }

}  // namespace wrenly::cli
