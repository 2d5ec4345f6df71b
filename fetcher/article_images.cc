#include "fetcher/article_images.h"

#include <cstdlib>

namespace wrenly {
namespace {

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

bool IsDataUri(std::string_view url) { return Lower(url.substr(0, 5)) == "data:"; }

// An address whose path ends in a picture file name (before any query).
bool HasPictureExtension(std::string_view url) {
  const std::string lower = Lower(url.substr(0, url.find_first_of("?#")));
  for (std::string_view ext : {".jpg", ".jpeg", ".png", ".gif", ".webp", ".avif", ".svg", ".bmp"})
    if (lower.ends_with(ext)) return true;
  return false;
}

bool LooksLikeAddress(std::string_view value) {
  return value.starts_with("http://") || value.starts_with("https://") || value.starts_with("//") ||
         value.starts_with("/");
}

// A srcset list: candidates separated by commas, each an address and an
// optional "320w" or "2x" descriptor.
bool LooksLikeSrcset(std::string_view value) {
  const size_t blank = value.find(' ');
  if (blank == std::string_view::npos) return false;
  const std::string_view rest = Trim(value.substr(blank));
  return !rest.empty() && rest[0] >= '0' && rest[0] <= '9';
}

// The address of a data attribute that a lazy loader copies into src or
// srcset, or "".
std::string LazyAttributeSource(const GumboVector& attributes) {
  for (size_t i = 0; i < attributes.length; ++i) {
    const auto* attribute = static_cast<const GumboAttribute*>(attributes.data[i]);
    const std::string name = Lower(attribute->name);
    if (name == "src" || name == "srcset" || name == "alt" || name == "title" || name == "class" ||
        name == "id" || name == "style" || name == "sizes")
      continue;
    const std::string_view value = Trim(attribute->value);
    if (value.empty() || IsDataUri(value)) continue;
    if (LooksLikeSrcset(value) && name.find("srcset") != std::string::npos) {
      std::string best = BestSrcsetCandidate(value);
      if (!best.empty()) return best;
    }
    const bool named = name.starts_with("data-") && (name.find("src") != std::string::npos ||
                                                     name.find("original") != std::string::npos ||
                                                     name.find("url") != std::string::npos);
    if (HasPictureExtension(value) || (named && LooksLikeAddress(value))) return std::string(value);
  }
  return {};
}

}  // namespace

std::string BestSrcsetCandidate(std::string_view srcset) {
  std::string best;
  double bestSize = -1;
  while (!srcset.empty()) {
    srcset = Trim(srcset);
    // The address runs to the first blank; a comma right after it ends the candidate.
    size_t end = srcset.find_first_of(" \t\n");
    std::string_view address = srcset.substr(0, end);
    std::string_view descriptor;
    if (address.ends_with(',')) {
      address.remove_suffix(1);
      srcset = end == std::string_view::npos ? std::string_view() : srcset.substr(end);
    } else {
      srcset = end == std::string_view::npos ? std::string_view() : srcset.substr(end);
      const size_t comma = srcset.find(',');
      descriptor = Trim(srcset.substr(0, comma));
      srcset = comma == std::string_view::npos ? std::string_view() : srcset.substr(comma + 1);
    }
    if (address.empty() || IsDataUri(address)) continue;
    double size = 1;
    if (!descriptor.empty()) size = std::strtod(std::string(descriptor).c_str(), nullptr);
    if (size > bestSize) {
      bestSize = size;
      best = address;
    }
  }
  return best;
}

std::string ImageSource(const HtmlNode* img) {
  if (img->source != nullptr && img->source->type == GUMBO_NODE_ELEMENT) {
    std::string lazy = LazyAttributeSource(img->source->v.element.attributes);
    if (!lazy.empty()) return lazy;
  }
  const char* src = img->Attribute("src");
  const std::string_view source = Trim(src != nullptr ? src : "");
  if (!source.empty() && !IsDataUri(source)) return std::string(source);
  if (const char* srcset = img->Attribute("srcset")) {
    std::string best = BestSrcsetCandidate(srcset);
    if (!best.empty()) return best;
  }
  // A <picture> lists its sources before its <img>.
  const HtmlNode* picture = img->parent;
  if (picture == nullptr || TagName(picture) != "picture") return {};
  for (const HtmlNode* sibling : picture->Children()) {
    if (sibling->isText || TagName(sibling) != "source") continue;
    if (const char* srcset = sibling->Attribute("srcset")) {
      std::string best = BestSrcsetCandidate(srcset);
      if (!best.empty()) return best;
    }
  }
  return {};
}

}  // namespace wrenly
