#include "fetcher/url_resolution.h"

#include <vector>

namespace wrenly {
namespace {

bool IsSchemeChar(char c, bool first) {
  const bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  if (first) return alpha;
  return alpha || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// The parts of an absolute address: scheme ":" ["//" authority] path ["?" query] ["#" fragment].
struct UrlParts {
  std::string scheme;
  bool hasAuthority = false;
  std::string authority, path, query, fragment;
  bool hasQuery = false, hasFragment = false;
};

// Splits the part after the scheme.
void SplitRest(std::string_view rest, UrlParts& parts) {
  if (const size_t hash = rest.find('#'); hash != std::string_view::npos) {
    parts.hasFragment = true;
    parts.fragment = rest.substr(hash + 1);
    rest = rest.substr(0, hash);
  }
  if (const size_t question = rest.find('?'); question != std::string_view::npos) {
    parts.hasQuery = true;
    parts.query = rest.substr(question + 1);
    rest = rest.substr(0, question);
  }
  if (rest.starts_with("//")) {
    parts.hasAuthority = true;
    rest.remove_prefix(2);
    const size_t slash = rest.find('/');
    parts.authority = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
  }
  parts.path = rest;
}

// Removes "." and ".." segments (RFC 3986, 5.2.4).
std::string RemoveDotSegments(std::string_view path) {
  std::vector<std::string_view> segments;
  const bool absolute = path.starts_with('/');
  if (absolute) path.remove_prefix(1);
  bool trailingSlash = false;
  while (true) {
    const size_t slash = path.find('/');
    const std::string_view segment = path.substr(0, slash);
    const bool last = slash == std::string_view::npos;
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
      trailingSlash = true;
    } else if (segment == ".") {
      trailingSlash = true;
    } else {
      segments.push_back(segment);
      trailingSlash = false;
    }
    if (last) break;
    path.remove_prefix(slash + 1);
  }
  std::string result = absolute ? "/" : "";
  for (size_t i = 0; i < segments.size(); ++i) {
    if (i > 0) result += '/';
    result += segments[i];
  }
  if (trailingSlash && !result.empty() && result.back() != '/') result += '/';
  return result;
}

std::string Join(const UrlParts& parts) {
  std::string url = parts.scheme + ":";
  if (parts.hasAuthority) url += "//" + parts.authority;
  url += parts.path;
  if (parts.hasQuery) url += "?" + parts.query;
  if (parts.hasFragment) url += "#" + parts.fragment;
  return url;
}

// Drops surrounding blanks and every tab and line break, as browsers do.
std::string Cleaned(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  std::string result;
  result.reserve(text.size());
  for (char c : text)
    if (c != '\t' && c != '\n' && c != '\r') result += c;
  return result;
}

// Percent-encodes what may not stand in an address: blanks, quotes, angle
// brackets, backslashes and the bytes of non-ASCII characters. The host is
// left alone, so international host names keep working.
std::string Encoded(const std::string& url, size_t from) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string result = url.substr(0, from);
  for (size_t i = from; i < url.size(); ++i) {
    const auto c = static_cast<unsigned char>(url[i]);
    if (c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' || c == '`' || c == '\'') {
      result += '%';
      result += kHex[c >> 4];
      result += kHex[c & 15];
    } else {
      result += static_cast<char>(c);
    }
  }
  return result;
}

// Where the path starts in an absolute address (after scheme and authority).
size_t PathStart(const std::string& url) {
  const size_t colon = url.find(':');
  if (colon == std::string::npos) return 0;
  if (url.compare(colon + 1, 2, "//") != 0) return colon + 1;
  const size_t slash = url.find_first_of("/?#", colon + 3);
  return slash == std::string::npos ? url.size() : slash;
}

}  // namespace

std::string UrlScheme(std::string_view url) {
  size_t i = 0;
  while (i < url.size() && IsSchemeChar(url[i], i == 0)) ++i;
  if (i == 0 || i >= url.size() || url[i] != ':') return {};
  std::string scheme(url.substr(0, i));
  for (char& c : scheme)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return scheme;
}

std::string ResolveUrl(std::string_view base, std::string_view reference) {
  const std::string ref = Cleaned(reference);
  const std::string refScheme = UrlScheme(ref);
  if (!refScheme.empty()) {
    // Backslashes count as slashes in web addresses with a host.
    std::string absolute = ref;
    if (refScheme == "http" || refScheme == "https")
      for (char& c : absolute)
        if (c == '\\') c = '/';
    return Encoded(absolute, PathStart(absolute));
  }
  const std::string baseScheme = UrlScheme(base);
  if (baseScheme.empty()) return {};
  UrlParts target;
  UrlParts baseParts;
  baseParts.scheme = baseScheme;
  SplitRest(base.substr(baseScheme.size() + 1), baseParts);
  UrlParts refParts;
  SplitRest(ref, refParts);
  target.scheme = baseScheme;
  if (refParts.hasAuthority) {
    target.hasAuthority = true;
    target.authority = refParts.authority;
    target.path = RemoveDotSegments(refParts.path);
    target.hasQuery = refParts.hasQuery;
    target.query = refParts.query;
  } else {
    target.hasAuthority = baseParts.hasAuthority;
    target.authority = baseParts.authority;
    if (refParts.path.empty()) {
      target.path = baseParts.path;
      target.hasQuery = refParts.hasQuery || baseParts.hasQuery;
      target.query = refParts.hasQuery ? refParts.query : baseParts.query;
    } else {
      if (refParts.path.starts_with('/')) {
        target.path = RemoveDotSegments(refParts.path);
      } else {
        std::string merged;
        if (baseParts.hasAuthority && baseParts.path.empty()) {
          merged = "/" + refParts.path;
        } else {
          const size_t slash = baseParts.path.rfind('/');
          merged = (slash == std::string::npos ? std::string() : baseParts.path.substr(0, slash + 1)) + refParts.path;
        }
        target.path = RemoveDotSegments(merged);
      }
      target.hasQuery = refParts.hasQuery;
      target.query = refParts.query;
    }
  }
  target.hasFragment = refParts.hasFragment;
  target.fragment = refParts.fragment;
  if (target.hasAuthority && target.path.empty()) target.path = "/";
  const std::string joined = Join(target);
  return Encoded(joined, PathStart(joined));
}

}  // namespace wrenly
