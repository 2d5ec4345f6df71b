#include "fetcher/script_bodies.h"

namespace wrenly {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool EndsName(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '/' || c == '>'; }

// Whether html at `at` holds `name` in any case, followed by a character that ends a tag name.
bool NameAt(std::string_view html, size_t at, std::string_view name) {
  if (at + name.size() > html.size()) return false;
  for (size_t i = 0; i < name.size(); ++i)
    if (Lower(html[at + i]) != name[i]) return false;
  return at + name.size() == html.size() || EndsName(html[at + name.size()]);
}

// The end of the start tag whose name begins at `at`: the position after its
// ">", quoted attribute values skipped; html.size() when it has none.
size_t TagEnd(std::string_view html, size_t at) {
  char quote = 0;
  char lastNonSpace = 0;
  for (size_t i = at; i < html.size(); ++i) {
    const char c = html[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '>') return i + 1;
    // A quote right after "=" opens a quoted attribute value.
    if ((c == '"' || c == '\'') && lastNonSpace == '=') quote = c;
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\f') lastNonSpace = c;
  }
  return html.size();
}

// The position of the end tag "</name" that closes raw text starting at
// `from`, or html.size().
size_t EndTagOf(std::string_view html, size_t from, std::string_view name) {
  for (size_t at = html.find("</", from); at != std::string_view::npos; at = html.find("</", at + 2))
    if (NameAt(html, at + 2, name)) return at;
  return html.size();
}

}  // namespace

std::string WithoutScriptBodies(std::string_view html) {
  std::string result;
  result.reserve(html.size() / 2);
  size_t copied = 0;  // html[0, copied) is in result
  size_t at = 0;
  while ((at = html.find('<', at)) != std::string_view::npos) {
    if (html.compare(at, 4, "<!--") == 0) {
      const size_t end = html.find("-->", at + 4);
      at = end == std::string_view::npos ? html.size() : end + 3;
      continue;
    }
    if (at + 1 >= html.size() || !IsAlpha(html[at + 1])) {
      ++at;
      continue;
    }
    const size_t end = TagEnd(html, at + 1);
    // Raw text whose end tag alone ends it: a "<script" inside is text.
    std::string_view rawText;
    for (std::string_view name : {"script", "style", "title", "textarea", "xmp", "iframe", "noembed", "noframes"})
      if (NameAt(html, at + 1, name)) rawText = name;
    if (rawText.empty()) {
      at = end;
      continue;
    }
    const size_t close = EndTagOf(html, end, rawText);
    if (rawText == "script" || rawText == "style") {
      result.append(html.substr(copied, end - copied));
      copied = close;
    }
    at = close;
  }
  result.append(html.substr(copied));
  return result;
}

}  // namespace wrenly
