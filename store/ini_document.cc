#include "store/ini_document.h"

#include "platform/text.h"

namespace wrenly {
namespace {

// What a line may carry around its text (a file from Windows ends lines in CR).
constexpr std::string_view kIniBlanks = " \t\r";

// "[Name]" -> "Name"; nothing for any other line.
std::optional<std::string> GroupHeader(std::string_view line) {
  const std::string_view t = Trim(line, kIniBlanks);
  if (t.size() < 2 || t.front() != '[' || t.back() != ']') return std::nullopt;
  return std::string(t.substr(1, t.size() - 2));
}

bool IsComment(std::string_view t) { return !t.empty() && (t.front() == ';' || t.front() == '#'); }

// The key of a "key=value" line, empty for anything else.
std::string KeyOf(std::string_view line) {
  const std::string_view t = Trim(line, kIniBlanks);
  const size_t eq = t.find('=');
  if (IsComment(t) || eq == std::string_view::npos) return {};
  return std::string(Trim(t.substr(0, eq), kIniBlanks));
}

bool SameKey(std::string_view a, std::string_view b) { return AsciiLower(a) == AsciiLower(b); }

}  // namespace

IniDocument IniDocument::Parse(std::string_view text) {
  IniDocument doc;
  std::string group;
  while (!text.empty()) {
    const size_t nl = text.find('\n');
    const std::string_view line = text.substr(0, nl);
    text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
    if (auto header = GroupHeader(line)) {
      group = *header;
      doc.lines_.push_back({std::string(line), group, {}});
    } else {
      doc.lines_.push_back({std::string(line), group, KeyOf(line)});
    }
  }
  return doc;
}

std::optional<std::string> IniDocument::Get(std::string_view group, std::string_view key) const {
  for (const Line& line : lines_) {
    if (line.group != group || line.key.empty() || !SameKey(line.key, key)) continue;
    const std::string_view t = Trim(line.text, kIniBlanks);
    return UnescapeIniValue(Trim(t.substr(t.find('=') + 1), kIniBlanks));
  }
  return std::nullopt;
}

void IniDocument::Set(std::string_view group, std::string_view key, std::string_view value) {
  const std::string text = std::string(key) + "=" + EscapeIniValue(value);
  size_t insertAt = lines_.size();
  bool groupSeen = false;
  for (size_t i = 0; i < lines_.size(); ++i) {
    Line& line = lines_[i];
    if (line.group != group) continue;
    if (!line.key.empty() && SameKey(line.key, key)) {
      line.text = text;
      return;
    }
    groupSeen = true;
    // After the group's last non-blank line, so blank separators stay below.
    if (!Trim(line.text, kIniBlanks).empty()) insertAt = i + 1;
  }
  if (!groupSeen) {
    if (!lines_.empty() && !Trim(lines_.back().text, kIniBlanks).empty()) lines_.push_back({"", "", {}});
    lines_.push_back({"[" + std::string(group) + "]", std::string(group), {}});
    insertAt = lines_.size();
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt),
                {text, std::string(group), std::string(key)});
}

std::string IniDocument::Serialize() const {
  std::string out;
  for (const Line& line : lines_) out += line.text + "\n";
  return out;
}

std::string EscapeIniValue(std::string_view value) {
  std::string out;
  for (const char c : value) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '"': out += "\\\""; break;
      default: out += c;
    }
  }
  const bool quote = !value.empty() && (value.front() == ' ' || value.back() == ' ');
  return quote ? "\"" + out + "\"" : out;
}

std::string UnescapeIniValue(std::string_view raw) {
  if (raw.size() >= 2 && raw.front() == '"' && raw.back() == '"') raw = raw.substr(1, raw.size() - 2);
  std::string out;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\\' || i + 1 == raw.size()) {
      out += raw[i];
      continue;
    }
    switch (raw[++i]) {
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      default: out += raw[i];  // \\ and \" and anything unknown
    }
  }
  return out;
}

}  // namespace wrenly
