#include "engine/page_links.h"

#include <cctype>

#include "platform/text.h"
#include "store/html_entities.h"

namespace wrenly {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  return true;
}

// Where the text of an element whose content is not markup ends: at its end
// tag, found ignoring case, or at the end of the page.
std::size_t SkipRawText(std::string_view html, std::size_t from, const std::string& name) {
  const std::string end = "</" + name;
  for (std::size_t at = html.find('<', from); at != std::string_view::npos; at = html.find('<', at + 1))
    if (StartsWithNoCase(html.substr(at), end)) return at;
  return html.size();
}

class TagReader {
 public:
  explicit TagReader(std::string_view html) : html_(html) {}

  std::vector<PageTag> Read() {
    std::vector<PageTag> tags;
    while ((pos_ = html_.find('<', pos_)) != std::string_view::npos) {
      if (html_.substr(pos_, 4) == "<!--") {
        const std::size_t end = html_.find("-->", pos_ + 4);
        pos_ = end == std::string_view::npos ? html_.size() : end + 3;
        continue;
      }
      ++pos_;
      if (pos_ >= html_.size() || !std::isalpha(static_cast<unsigned char>(html_[pos_]))) continue;
      PageTag tag;
      tag.name = AsciiLower(Word());
      ReadAttributes(tag);
      if (tag.name == "link" || tag.name == "base") tags.push_back(std::move(tag));
      else if (tag.name == "script" || tag.name == "style" || tag.name == "title" || tag.name == "textarea")
        pos_ = SkipRawText(html_, pos_, tag.name);
    }
    return tags;
  }

 private:
  // A tag or attribute name: up to a blank, "/", ">" or "=".
  std::string_view Word() {
    const std::size_t start = pos_;
    while (pos_ < html_.size() && !IsSpace(html_[pos_]) && html_[pos_] != '/' && html_[pos_] != '>' &&
           (html_[pos_] != '=' || pos_ == start))
      ++pos_;
    return html_.substr(start, pos_ - start);
  }

  void SkipSpace() {
    while (pos_ < html_.size() && IsSpace(html_[pos_])) ++pos_;
  }

  std::string Value() {
    SkipSpace();
    if (pos_ < html_.size() && (html_[pos_] == '"' || html_[pos_] == '\'')) {
      const char quote = html_[pos_++];
      const std::size_t end = html_.find(quote, pos_);
      const std::size_t stop = end == std::string_view::npos ? html_.size() : end;
      std::string value(html_.substr(pos_, stop - pos_));
      pos_ = std::min(stop + 1, html_.size());
      return value;
    }
    const std::size_t start = pos_;
    while (pos_ < html_.size() && !IsSpace(html_[pos_]) && html_[pos_] != '>') ++pos_;
    return std::string(html_.substr(start, pos_ - start));
  }

  // Attributes up to the tag's ">"; the first of a repeated name counts.
  void ReadAttributes(PageTag& tag) {
    while (true) {
      SkipSpace();
      if (pos_ >= html_.size()) return;
      if (html_[pos_] == '>') {
        ++pos_;
        return;
      }
      if (html_[pos_] == '/') {
        ++pos_;
        continue;
      }
      const std::string name = AsciiLower(Word());
      SkipSpace();
      std::string value;
      if (pos_ < html_.size() && html_[pos_] == '=') {
        ++pos_;
        value = Utf16ToUtf8(UnescapeHtmlEntities(Utf8ToUtf16(Value())));
      }
      tag.attributes.emplace(name, std::move(value));
    }
  }

  std::string_view html_;
  std::size_t pos_ = 0;
};

}  // namespace

std::vector<PageTag> LinkAndBaseTags(std::string_view html) { return TagReader(html).Read(); }

}  // namespace wrenly
