#include "cli/item_commands.h"

#include <charconv>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>

#include "platform/text.h"
#include "reader/reader_data.h"
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

// The exit status of a reader operation; a refusal, or a note on a done
// one (counts that could not be saved), is printed.
int Report(const reader::Result& result, std::ostream& err) {
  if (!result.message.empty()) err << "wrenly-cli: " << result.message << '\n';
  return result.done() ? kExitOk : kExitFailed;
}

// A link the channel does not have is reported as the command line named them.
int ReportItem(const reader::Result& result, const std::vector<std::string>& positional, std::ostream& err) {
  if (result.refusal == reader::Refusal::kNotFound)
    return Failed(err, "channel " + positional[0] + " has no item " + positional.back());
  return Report(result, err);
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
  // Every item is listed, so the whole document is loaded.
  if (feed.Load(path, CFeedParser::kWholeDocument) == 0)
    err << "wrenly-cli: " << path << ": " << feed.LastError() << '\n';
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

int RunMerge(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const auto parsed = Split(args, 2, 2, false);
  const auto channel = parsed ? ChannelNumber(parsed->positional[0]) : std::nullopt;
  if (!channel) return UsageError(Find("merge"), err);
  const reader::ValueResult<int> merged = reader::ReaderData::Current().Merge(*channel, parsed->positional[1]);
  if (Report(merged.result, err) != kExitOk) return kExitFailed;
  out << merged.value << '\n';
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
  reader::ReaderData::Current().ForEachItem(
      *channel, [&](const ItemRecord& record) { PrintRecord(record, parsed->json, out); });
  return kExitOk;
}

int RunMark(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
  const auto parsed = Split(args, 2, 3, false);
  const auto channel = parsed ? ChannelNumber(parsed->positional[0]) : std::nullopt;
  const std::string state = parsed ? parsed->positional[1] : "";
  if (!channel || (state != "read" && state != "unread")) return UsageError(Find("mark"), err);
  const std::u16string link =
      parsed->positional.size() == 3 ? Utf8ToUtf16(parsed->positional[2]) : u"";
  return ReportItem(reader::ReaderData::Current().Mark(*channel, state == "read", link), parsed->positional, err);
}

int RunDeleteItem(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
  const auto parsed = Split(args, 2, 2, false);
  const auto channel = parsed ? ChannelNumber(parsed->positional[0]) : std::nullopt;
  if (!channel) return UsageError(Find("delete-item"), err);
  return ReportItem(reader::ReaderData::Current().DeleteItem(*channel, Utf8ToUtf16(parsed->positional[1])),
                    parsed->positional, err);
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
