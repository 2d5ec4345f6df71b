#include "net/web_address.h"

#include <optional>

#include "platform/text.h"

namespace wrenly {
namespace {

bool IsSchemeChar(char c, bool first) {
  const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  if (first) return letter;
  return letter || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// The length of the scheme that starts text (before its ":"), or 0.
size_t SchemeLength(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsSchemeChar(text[i], i == 0)) ++i;
  return i > 0 && i < text.size() && text[i] == ':' ? i : 0;
}

struct Parts {
  std::optional<std::string_view> scheme, authority, query, fragment;
  std::string_view path;
};

// Splits an address into its five parts (RFC 3986, appendix B).
Parts Split(std::string_view text) {
  Parts parts;
  if (const size_t hash = text.find('#'); hash != std::string_view::npos) {
    parts.fragment = text.substr(hash + 1);
    text = text.substr(0, hash);
  }
  if (const size_t question = text.find('?'); question != std::string_view::npos) {
    parts.query = text.substr(question + 1);
    text = text.substr(0, question);
  }
  if (const size_t scheme = SchemeLength(text); scheme > 0) {
    parts.scheme = text.substr(0, scheme);
    text.remove_prefix(scheme + 1);
  }
  if (text.starts_with("//")) {
    const size_t end = text.find('/', 2);
    parts.authority = text.substr(2, end == std::string_view::npos ? std::string_view::npos : end - 2);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end);
  }
  parts.path = text;
  return parts;
}

// RFC 3986, section 5.2.4.
std::string RemoveDotSegments(std::string_view input) {
  std::string output;
  while (!input.empty()) {
    if (input.starts_with("../")) {
      input.remove_prefix(3);
    } else if (input.starts_with("./")) {
      input.remove_prefix(2);
    } else if (input.starts_with("/./")) {
      input.remove_prefix(2);
    } else if (input == "/.") {
      input = "/";
    } else if (input.starts_with("/../") || input == "/..") {
      input = input.size() == 3 ? std::string_view("/") : input.substr(3);
      const size_t slash = output.rfind('/');
      output.erase(slash == std::string::npos ? 0 : slash);
    } else if (input == "." || input == "..") {
      input = {};
    } else {
      const size_t next = input.find('/', 1);
      const size_t take = next == std::string_view::npos ? input.size() : next;
      output += input.substr(0, take);
      input.remove_prefix(take);
    }
  }
  return output;
}

std::string Merge(const Parts& base, std::string_view path) {
  if (base.authority && base.path.empty()) return "/" + std::string(path);
  const size_t slash = base.path.rfind('/');
  if (slash == std::string_view::npos) return std::string(path);
  return std::string(base.path.substr(0, slash + 1)) + std::string(path);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Drops surrounding blanks and every tab and line break, as browsers do.
std::string Cleaned(std::string_view text) {
  std::string result;
  for (char c : TrimBlanks(text))
    if (c != '\t' && c != '\n' && c != '\r') result += c;
  return result;
}

// Web addresses with a host take a backslash for a slash before the query.
void SlashesForBackslashes(std::string& reference) {
  const size_t end = reference.find_first_of("?#");
  for (size_t i = 0; i < reference.size() && i < end; ++i)
    if (reference[i] == '\\') reference[i] = '/';
}

// Where the path starts in an absolute address (after scheme and authority).
size_t PathStart(const std::string& url) {
  const size_t colon = url.find(':');
  if (colon == std::string::npos) return 0;
  if (url.compare(colon + 1, 2, "//") != 0) return colon + 1;
  const size_t slash = url.find_first_of("/?#", colon + 3);
  return slash == std::string::npos ? url.size() : slash;
}

// Percent-encodes what may not stand in an address: blanks, quotes, angle
// brackets, backslashes, backticks and the bytes of non-ASCII characters.
// The host is left alone, so international host names keep working.
std::string Encoded(const std::string& url) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const size_t from = PathStart(url);
  std::string result = url.substr(0, from);
  for (size_t i = from; i < url.size(); ++i) {
    const auto c = static_cast<unsigned char>(url[i]);
    if (c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' || c == '`') {
      result += '%';
      result += kHex[c >> 4];
      result += kHex[c & 15];
    } else {
      result += static_cast<char>(c);
    }
  }
  return result;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHex(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// A host name (international ones in UTF-8 or percent-encoded) or an IPv4 address.
bool IsHostName(std::string_view host) {
  for (char c : host) {
    const auto b = static_cast<unsigned char>(c);
    const bool ascii = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || IsDigit(c) || c == '-' || c == '.' ||
                       c == '_' || c == '~' || c == '%';
    if (!ascii && b < 0x80) return false;
  }
  return true;
}

bool IsPort(std::string_view port) {
  for (char c : port)
    if (!IsDigit(c)) return false;
  return true;
}

// "[user[:password]@]host[:port]" where the host is a name, an IPv4 address
// or a bracketed IPv6 address. A web address needs a host.
bool IsAuthority(std::string_view authority, bool needsHost) {
  const size_t at = authority.rfind('@');
  if (at != std::string_view::npos) {
    for (char c : authority.substr(0, at)) {
      const auto b = static_cast<unsigned char>(c);
      if (b <= 0x20 || b == 0x7F || std::string_view("\"<>\\^`{|}[]").find(c) != std::string_view::npos) return false;
    }
    authority.remove_prefix(at + 1);
  }
  std::string_view host = authority, port;
  if (authority.starts_with('[')) {
    const size_t close = authority.find(']');
    if (close == std::string_view::npos) return false;
    for (char c : authority.substr(1, close - 1))
      if (!IsHex(c) && c != ':' && c != '.') return false;
    const std::string_view rest = authority.substr(close + 1);
    if (!rest.empty() && !rest.starts_with(':')) return false;
    return IsPort(rest.substr(rest.empty() ? 0 : 1));
  }
  if (const size_t colon = authority.find(':'); colon != std::string_view::npos) {
    host = authority.substr(0, colon);
    port = authority.substr(colon + 1);
  }
  return IsHostName(host) && IsPort(port) && !(needsHost && host.empty());
}

// An address whose authority (when it has one) is a real host, not markup.
bool HasValidAuthority(std::string_view url, std::string_view scheme) {
  const Parts parts = Split(url);
  return !parts.authority || IsAuthority(*parts.authority, scheme == "http" || scheme == "https");
}

}  // namespace

std::string UrlScheme(std::string_view url) { return AsciiLower(url.substr(0, SchemeLength(url))); }

std::string ResolveWebAddress(std::string_view base, std::string_view reference) {
  std::string ref = Cleaned(reference);
  base = TrimBlanks(base);
  const std::string refScheme = UrlScheme(ref);
  const std::string scheme = refScheme.empty() ? UrlScheme(base) : refScheme;
  if (scheme == "http" || scheme == "https") SlashesForBackslashes(ref);
  if (!refScheme.empty()) return HasValidAuthority(ref, scheme) ? Encoded(ref) : std::string();
  const Parts from = Split(base);
  if (!from.scheme || !from.authority) return {};

  const Parts to = Split(ref);
  std::string_view authority = *from.authority;
  std::optional<std::string_view> query = to.query;
  std::string path;
  if (to.authority) {
    authority = *to.authority;
    path = RemoveDotSegments(to.path);
  } else if (to.path.empty()) {
    path = std::string(from.path);
    if (!query) query = from.query;
  } else if (to.path.starts_with('/')) {
    path = RemoveDotSegments(to.path);
  } else {
    path = RemoveDotSegments(Merge(from, to.path));
  }
  // A browser never leaves the path after a host empty.
  if (path.empty()) path = "/";
  std::string out = scheme + "://" + std::string(authority) + path;
  if (query) out += "?" + std::string(*query);
  if (to.fragment) out += "#" + std::string(*to.fragment);
  return HasValidAuthority(out, scheme) ? Encoded(out) : std::string();
}

std::u16string ResolveWebAddress(std::u16string_view base, std::u16string_view reference) {
  return Utf8ToUtf16(ResolveWebAddress(Utf16ToUtf8(base), Utf16ToUtf8(reference)));
}

}  // namespace wrenly
