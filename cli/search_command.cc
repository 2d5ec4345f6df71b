#include "cli/search_command.h"

#include <charconv>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>

#include "platform/text.h"
#include "reader/search.h"

namespace wrenly::cli {
namespace {

struct SearchArgs {
  std::string query;
  bool json = false;
  std::optional<int> channel;
};

std::optional<SearchArgs> ParseSearchArgs(const std::vector<std::string>& args) {
  SearchArgs parsed;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--json") {
      parsed.json = true;
    } else if (args[i] == "--channel") {
      if (++i == args.size()) return std::nullopt;
      int number = 0;
      const auto [end, ec] = std::from_chars(args[i].data(), args[i].data() + args[i].size(), number);
      if (ec != std::errc() || end != args[i].data() + args[i].size() || number <= 0) return std::nullopt;
      parsed.channel = number;
    } else {
      parsed.query += (parsed.query.empty() ? "" : " ") + args[i];
    }
  }
  if (std::string(Trim(parsed.query)).empty()) return std::nullopt;
  return parsed;
}

int RunSearch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const std::optional<SearchArgs> parsed = ParseSearchArgs(args);
  if (!parsed) return UsageError("search", err);
  const auto found = reader::Search(reader::ReaderData::Current(), Utf8ToUtf16(parsed->query), parsed->channel);
  if (!found.done()) {
    err << "wrenly-cli search: " << found.result.message << '\n';
    return kExitFailed;
  }
  for (const reader::SearchHit& hit : found.value) {
    if (parsed->json) {
      nlohmann::ordered_json line = {{"channel", hit.channel},       {"channelTitle", Utf16ToUtf8(hit.channelTitle)},
                                     {"title", Utf16ToUtf8(hit.title)}, {"link", Utf16ToUtf8(hit.link)},
                                     {"date", Utf16ToUtf8(hit.date)}};
      out << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    } else {
      out << hit.channel << ' ' << Utf16ToUtf8(hit.channelTitle) << '\t' << Utf16ToUtf8(hit.title) << '\t'
          << Utf16ToUtf8(hit.link) << '\t' << Utf16ToUtf8(hit.date) << '\n';
    }
  }
  return kExitOk;
}

}  // namespace

std::vector<Command> SearchCommands() {
  return {{"search", "WORDS... [--json] [--channel N]",
           "Lists the stored headlines whose title, description or full text holds every word (case and "
           "accents ignored, Chinese by substring), newest first: channel number and title, headline "
           "title, link and date, tab-separated, or one JSON object per line with --json.",
           RunSearch}};
}

}  // namespace wrenly::cli
