#include "net/web_address.h"

#include <optional>

namespace wrenly {
namespace {

struct Parts {
  std::optional<std::u16string_view> scheme, authority, query, fragment;
  std::u16string_view path;
};

bool IsSchemeChar(char16_t c, bool first) {
  const bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
  if (first) return letter;
  return letter || (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.';
}

// Splits an address into its five parts (RFC 3986, appendix B).
Parts Split(std::u16string_view text) {
  Parts parts;
  if (const size_t hash = text.find(u'#'); hash != std::u16string_view::npos) {
    parts.fragment = text.substr(hash + 1);
    text = text.substr(0, hash);
  }
  if (const size_t question = text.find(u'?'); question != std::u16string_view::npos) {
    parts.query = text.substr(question + 1);
    text = text.substr(0, question);
  }
  const size_t colon = text.find(u':');
  if (colon != std::u16string_view::npos && colon > 0 && text.substr(0, colon).find(u'/') == std::u16string_view::npos) {
    bool scheme = true;
    for (size_t i = 0; i < colon; ++i) scheme = scheme && IsSchemeChar(text[i], i == 0);
    if (scheme) {
      parts.scheme = text.substr(0, colon);
      text = text.substr(colon + 1);
    }
  }
  if (text.starts_with(u"//")) {
    const size_t end = text.find(u'/', 2);
    parts.authority = text.substr(2, end == std::u16string_view::npos ? std::u16string_view::npos : end - 2);
    text = end == std::u16string_view::npos ? std::u16string_view() : text.substr(end);
  }
  parts.path = text;
  return parts;
}

// RFC 3986, section 5.2.4.
std::u16string RemoveDotSegments(std::u16string_view input) {
  std::u16string output;
  while (!input.empty()) {
    if (input.starts_with(u"../")) {
      input.remove_prefix(3);
    } else if (input.starts_with(u"./")) {
      input.remove_prefix(2);
    } else if (input.starts_with(u"/./")) {
      input.remove_prefix(2);
    } else if (input == u"/.") {
      input = u"/";
    } else if (input.starts_with(u"/../") || input == u"/..") {
      input = input.size() == 3 ? std::u16string_view(u"/") : input.substr(3);
      const size_t slash = output.rfind(u'/');
      output.erase(slash == std::u16string::npos ? 0 : slash);
    } else if (input == u"." || input == u"..") {
      input = {};
    } else {
      const size_t next = input.find(u'/', 1);
      const size_t take = next == std::u16string_view::npos ? input.size() : next;
      output += input.substr(0, take);
      input.remove_prefix(take);
    }
  }
  return output;
}

std::u16string Merge(const Parts& base, std::u16string_view path) {
  if (base.authority && base.path.empty()) return u"/" + std::u16string(path);
  const size_t slash = base.path.rfind(u'/');
  if (slash == std::u16string_view::npos) return std::u16string(path);
  return std::u16string(base.path.substr(0, slash + 1)) + std::u16string(path);
}

std::u16string_view TrimBlanks(std::u16string_view text) {
  auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

std::u16string ResolveWebAddress(std::u16string_view base, std::u16string_view reference) {
  reference = TrimBlanks(reference);
  const Parts ref = Split(reference);
  const Parts from = Split(TrimBlanks(base));
  if (ref.scheme || !from.scheme || !from.authority) return std::u16string(reference);

  std::optional<std::u16string_view> authority = from.authority, query = ref.query;
  std::u16string path;
  if (ref.authority) {
    authority = ref.authority;
    path = RemoveDotSegments(ref.path);
  } else if (ref.path.empty()) {
    path = std::u16string(from.path);
    if (!ref.query) query = from.query;
  } else if (ref.path.starts_with(u'/')) {
    path = RemoveDotSegments(ref.path);
  } else {
    path = RemoveDotSegments(Merge(from, ref.path));
  }
  std::u16string out = std::u16string(*from.scheme) + u"://" + std::u16string(*authority) + path;
  if (query) out += u"?" + std::u16string(*query);
  if (ref.fragment) out += u"#" + std::u16string(*ref.fragment);
  return out;
}

}  // namespace wrenly
