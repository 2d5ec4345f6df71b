#include "fetcher/class_hints.h"

#include <string>
#include <string_view>

namespace wrenly {
namespace {

// Words matched anywhere inside a class or id ("main-sidebar" has "sidebar").
constexpr std::string_view kUnlikelyParts[] = {
    "banner",   "breadcrumb", "combx",      "comment",    "community", "cover-wrap", "disqus",     "extra",
    "foot",     "gdpr",       "header",     "legends",    "menu",      "related",    "remark",     "replies",
    "rss",      "shoutbox",   "sidebar",    "skyscraper", "social",    "sponsor",    "supplement", "ad-break",
    "agegate",  "pagination", "pager",      "popup",      "newsletter", "subscri",   "cookie",     "consent",
    "signup",   "navbar",     "masthead",   "outbrain",   "taboola",   "promo",      "share",      "recommend"};
// Words that keep a node that also has an unlikely word: it may hold the article.
constexpr std::string_view kMaybeParts[] = {"article", "body",  "column", "content",
                                                         "main",    "shadow", "story", "entry"};
constexpr std::string_view kPositiveParts[] = {
    "article", "body", "content", "entry", "hentry", "h-entry", "main", "page",
    "pagination", "post", "text", "blog", "story", "prose", "abstract"};
constexpr std::string_view kNegativeParts[] = {
    "hidden",  "banner",  "combx",    "comment",    "com-",      "contact",    "foot",   "gdpr",
    "masthead", "media",  "meta",     "outbrain",   "promo",     "related",    "scroll", "share",
    "shoutbox", "sidebar", "skyscraper", "sponsor", "shopping",  "tags",       "tool",   "widget",
    "social",  "newsletter", "subscri", "recommend"};
// Short words matched only as a whole word of a class or id ("ad", not "header").
constexpr std::string_view kNegativeWords[] = {"ad", "ads", "advert", "hid", "nav", "sponsored"};
constexpr std::string_view kUnlikelyRoles[] = {
    "menu", "menubar", "complementary", "navigation", "alert", "alertdialog", "dialog", "search", "banner"};
constexpr std::string_view kShareParts[] = {"share", "social"};
constexpr std::string_view kShareWords[] = {"print", "email", "tweet"};

std::string Lower(const char* text) {
  std::string lower = text != nullptr ? text : "";
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

template <size_t N>
bool HasPart(std::string_view text, const std::string_view (&parts)[N]) {
  for (std::string_view part : parts)
    if (text.find(part) != std::string_view::npos) return true;
  return false;
}

template <size_t N>
bool HasWord(std::string_view text, const std::string_view (&words)[N]) {
  const auto isWordChar = [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); };
  for (size_t i = 0; i < text.size();) {
    while (i < text.size() && !isWordChar(text[i])) ++i;
    const size_t start = i;
    while (i < text.size() && isWordChar(text[i])) ++i;
    const std::string_view word = text.substr(start, i - start);
    if (word.empty()) continue;
    for (std::string_view w : words)
      if (word == w) return true;
  }
  return false;
}

int WeightOf(std::string_view text) {
  if (text.empty()) return 0;
  int weight = 0;
  if (HasPart(text, kNegativeParts) || HasWord(text, kNegativeWords)) weight -= 25;
  if (HasPart(text, kPositiveParts)) weight += 25;
  return weight;
}

std::string ClassAndId(const HtmlNode* node) {
  return Lower(node->Attribute("class")) + " " + Lower(node->Attribute("id"));
}

}  // namespace

int ClassWeight(const HtmlNode* node) {
  return WeightOf(Lower(node->Attribute("class"))) + WeightOf(Lower(node->Attribute("id")));
}

bool IsUnlikelyCandidate(const HtmlNode* node) {
  const std::string role = Lower(node->Attribute("role"));
  for (std::string_view unlikely : kUnlikelyRoles)
    if (role == unlikely) return true;
  const std::string names = ClassAndId(node);
  if (names.size() <= 1) return false;
  const bool unlikely = HasPart(names, kUnlikelyParts) || HasWord(names, kNegativeWords);
  return unlikely && !HasPart(names, kMaybeParts);
}

bool IsShareWidget(const HtmlNode* node) {
  if (node->Is(GUMBO_TAG_IMG) || node->Is(GUMBO_TAG_FIGURE)) return false;
  const std::string names = ClassAndId(node);
  return HasPart(names, kShareParts) || HasWord(names, kShareWords);
}

bool IsHidden(const HtmlNode* node) {
  if (node->Attribute("hidden") != nullptr) return true;
  if (Lower(node->Attribute("aria-hidden")) == "true") return true;
  std::string style = Lower(node->Attribute("style"));
  if (style.empty()) return false;
  std::erase(style, ' ');
  return style.find("display:none") != std::string::npos || style.find("visibility:hidden") != std::string::npos;
}

}  // namespace wrenly
