#include "store/cexml.h"

#include <cstdio>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/text.h"
#include "platform/trace.h"
#include "platform/atomic_file.h"

namespace wrenly {
namespace {

constexpr size_t kSniffBytes = 127;

// The first bytes of a file, read with their own open and close; empty when
// the file cannot be opened.
std::string ReadHead(const std::string& path) {
  std::string head(kSniffBytes, '\0');
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return {};
  head.resize(std::fread(head.data(), 1, kSniffBytes, f));
  std::fclose(f);
  return head;
}

// The value after "encoding=": cut at "?>", and when a double quote follows,
// the text between it and the next double quote.
std::optional<std::string> DeclaredEncoding(std::string_view head) {
  // The buffer is zero-filled: text ends at the first NUL, as a C string would.
  head = head.substr(0, head.find('\0'));
  const size_t at = head.find("encoding=");
  if (at == std::string_view::npos) return std::nullopt;
  std::string_view value = head.substr(at + 9);
  value = value.substr(0, value.find("?>"));
  if (!value.empty() && value.front() == '"') {
    value.remove_prefix(1);
    value = value.substr(0, value.find('"'));
  }
  return std::string(value);
}

// A charset name fit for converting this document's bytes: the declared name
// without quotes and spaces, when iconv knows it and it keeps ASCII as ASCII
// (a UTF-16 declaration on bytes that parsed as 8-bit text is wrong).
std::string UsableCharset(std::string_view declared) {
  const size_t begin = declared.find_first_not_of(" \t'\"");
  if (begin == std::string_view::npos) return {};
  const size_t end = declared.find_first_of(" \t'\"", begin);
  const std::string name(declared.substr(begin, end - begin));
  const std::optional<std::string> probe = EncodeCharset(name, u"<?xml");
  return probe && *probe == "<?xml" ? name : std::string();
}

void AppendUnit(std::string& out, char32_t u) {
  if (u < 0x80) {
    out.push_back(static_cast<char>(u));
  } else if (u < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (u >> 6)));
    out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
  } else if (u < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (u >> 12)));
    out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (u >> 18)));
    out.push_back(static_cast<char>(0x80 | ((u >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
  }
}

}  // namespace

std::u16string DecodeUtf8Lenient(std::string_view bytes) {
  // No sequence gives more units than it has bytes, so the output is
  // written into a buffer of the input's length and cut to size at the end.
  std::u16string out(bytes.size(), u'\0');
  char16_t* put = out.data();
  size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    size_t follow;
    char32_t cp;
    if (lead < 0x80) {
      // Runs of ASCII, most of most feeds, are widened in one loop, sixteen
      // bytes at a time where SSE2 is there.
#if defined(__SSE2__)
      while (bytes.size() - i >= 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + i));
        if (_mm_movemask_epi8(chunk) != 0) break;  // a byte of 0x80 or more
        const __m128i zero = _mm_setzero_si128();
        _mm_storeu_si128(reinterpret_cast<__m128i*>(put), _mm_unpacklo_epi8(chunk, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(put + 8), _mm_unpackhi_epi8(chunk, zero));
        put += 16;
        i += 16;
      }
#endif
      while (i < bytes.size() && static_cast<unsigned char>(bytes[i]) < 0x80)
        *put++ = static_cast<char16_t>(bytes[i++]);
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      follow = 1, cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      follow = 2, cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      follow = 3, cp = lead & 0x07;
    } else if ((lead & 0xFC) == 0xF8) {
      follow = 4, cp = lead & 0x03;
    } else if ((lead & 0xFE) == 0xFC) {
      follow = 5, cp = lead & 0x01;
    } else {
      break;  // a stray continuation byte, 0xFE or 0xFF
    }
    if (i + follow >= bytes.size()) break;
    for (size_t k = 1; k <= follow; ++k) cp = (cp << 6) | (bytes[i + k] & 0x3F);
    i += follow + 1;
    if (follow == 3 && cp >= 0x10000 && cp <= 0x10FFFF) {
      cp -= 0x10000;
      *put++ = static_cast<char16_t>(0xD800 + (cp >> 10));
      *put++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      *put++ = static_cast<char16_t>(cp & 0xFFFF);
    }
  }
  out.resize(static_cast<size_t>(put - out.data()));
  return out;
}

std::string EncodeUtf8Lenient(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      AppendUnit(out, 0x10000 + ((char32_t{u} - 0xD800) << 10) + (text[++i] - 0xDC00));
    } else {
      AppendUnit(out, u);
    }
  }
  return out;
}

CEXML::CEXML() = default;
CEXML::~CEXML() = default;

void CEXML::Traverse(const tinyxml2::XMLElement* parent, const tinyxml2::XMLElement* element) {
  Visit(parent, element);
  for (const tinyxml2::XMLElement* child = element->FirstChildElement(); child != nullptr;
       child = child->NextSiblingElement())
    Traverse(element, child);
}

tinyxml2::XMLDocument& CEXML::EnsureDocument() {
  if (!doc_) doc_ = std::make_unique<tinyxml2::XMLDocument>();
  return *doc_;
}

int CEXML::LoadFile(const std::string& path, bool traverse) {
  doc_ = std::make_unique<tinyxml2::XMLDocument>();
  const std::string head = ReadHead(path);
  return Loaded(doc_->LoadFile(path.c_str()), path, head, traverse);
}

int CEXML::LoadDocument(const std::string& path, std::string_view head, std::string_view bytes) {
  doc_ = std::make_unique<tinyxml2::XMLDocument>();
  return Loaded(doc_->Parse(bytes.data(), bytes.size()), path, head, false);
}

int CEXML::Loaded(tinyxml2::XMLError rc, const std::string& path, std::string_view head, bool traverse) {
  path_ = path;
  if (rc != tinyxml2::XML_SUCCESS) {
    lastError_ = doc_->ErrorStr();
    Trace("CEXML: Cannot load XML.\n");
    TraceF("CEXML: %s\n", lastError_.c_str());
    doc_ = std::make_unique<tinyxml2::XMLDocument>();
    return 0;
  }
  if (const std::optional<std::string> declared = DeclaredEncoding(head))
    SetEncodingFromDeclaration(*declared);
  const tinyxml2::XMLElement* root = doc_->RootElement();
  if (root == nullptr) {
    lastError_ = "the document has no root element";
    return 0;
  }
  lastError_.clear();
  if (traverse) Traverse(nullptr, root);
  return 1;
}

int CEXML::ParseText(std::string_view text) {
  tinyxml2::XMLDocument& doc = EnsureDocument();
  if (doc.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS) {
    lastError_ = doc.ErrorStr();
    return 0;
  }
  lastError_.clear();
  return 1;
}

int CEXML::SaveFile() {
  if (!doc_) {
    lastError_ = "there is no document to save";
    return 0;
  }
  tinyxml2::XMLPrinter printer;
  doc_->Print(&printer);
  const std::string_view bytes(printer.CStr(), static_cast<size_t>(printer.CStrSize() - 1));
  std::string error;
  if (!WriteFileAtomically(path_, bytes, &error)) {
    lastError_ = "cannot save " + path_ + ": " + error;
    Trace("CEXML: " + lastError_ + "\n");
    return 0;
  }
  lastError_.clear();
  return 1;
}

void CEXML::SetEncodingFromDeclaration(std::string_view declared) {
  const std::string lower = AsciiLower(declared);
  if (lower.empty() || lower == "utf-8" || lower == "utf8") {
    mode_ = kModeUtf8;
    charset_.clear();
  } else {
    mode_ = kModeCodePage;
    charset_ = UsableCharset(declared);
  }
}

std::u16string CEXML::DecodeText(std::string_view bytes) const {
  if (mode_ == kModeUtf8) return DecodeUtf8Lenient(bytes);
  if (!charset_.empty()) {
    if (std::optional<std::u16string> text = DecodeCharset(charset_, bytes)) return *text;
  }
  return CodePageToUtf16(SystemCodePage(), bytes);
}

std::u16string CEXML::DecodeText(const char* bytes) const {
  return bytes == nullptr ? std::u16string() : DecodeText(std::string_view(bytes));
}

std::string CEXML::EncodeText(std::u16string_view text) const {
  if (mode_ == kModeUtf8) return EncodeUtf8Lenient(text);
  if (!charset_.empty()) {
    if (std::optional<std::string> bytes = EncodeCharset(charset_, text)) return *bytes;
  }
  return Utf16ToCodePage(SystemCodePage(), text);
}

std::u16string CEXML::ElementName(const tinyxml2::XMLElement* element) const {
  return DecodeText(element->Name());
}

std::u16string CEXML::ElementText(const tinyxml2::XMLElement* element) const {
  const tinyxml2::XMLNode* first = element->FirstChild();
  const tinyxml2::XMLText* text = first != nullptr ? first->ToText() : nullptr;
  return text != nullptr ? DecodeText(text->Value()) : std::u16string();
}

std::vector<std::pair<std::u16string, std::u16string>> CEXML::Attributes(
    const tinyxml2::XMLElement* element) const {
  std::vector<std::pair<std::u16string, std::u16string>> all;
  for (const tinyxml2::XMLAttribute* a = element->FirstAttribute(); a != nullptr; a = a->Next())
    all.emplace_back(DecodeText(a->Name()), DecodeText(a->Value()));
  return all;
}

std::optional<std::u16string> CEXML::Attribute(const tinyxml2::XMLElement* element,
                                               std::string_view name) const {
  const char* value = element->Attribute(std::string(name).c_str());
  if (value == nullptr) return std::nullopt;
  return DecodeText(value);
}

void CEXML::SetAttribute(tinyxml2::XMLElement* element, std::string_view name,
                         std::u16string_view value) const {
  element->SetAttribute(std::string(name).c_str(), EncodeText(value).c_str());
}

}  // namespace wrenly
