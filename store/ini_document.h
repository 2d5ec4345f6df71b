// A lossless INI document: "[Group]" headers and "Key=Value" lines. Setting a
// value rewrites only that value's line; every other line, including comments,
// unknown groups and lines that are not INI at all, is written back as it was.
// Not synchronized; callers lock.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wrenly {

class IniDocument {
 public:
  static IniDocument Parse(std::string_view text);

  // The value of key in group (keys compare ignoring ASCII case), unescaped.
  std::optional<std::string> Get(std::string_view group, std::string_view key) const;
  // Replaces the key's line, or adds it at the end of the group, or adds the
  // group at the end of the document.
  void Set(std::string_view group, std::string_view key, std::string_view value);
  std::string Serialize() const;

 private:
  struct Line {
    std::string text;   // as read or as written
    std::string group;  // group the line belongs to
    std::string key;    // empty unless the line is "key=value"
  };
  std::vector<Line> lines_;
};

// Escaping of values: backslash, quote, line breaks and tabs are written as
// \\ \" \n \r \t; a value with spaces at either end is written in quotes, so
// reading trims only what was not part of the value.
std::string EscapeIniValue(std::string_view value);
std::string UnescapeIniValue(std::string_view raw);

}  // namespace wrenly
