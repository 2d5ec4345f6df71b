#include "fetcher/article_writer.h"

#include <algorithm>

#include "net/web_address.h"

namespace wrenly {
namespace {

enum class Output { kKeep, kAsDiv, kUnwrap, kDrop };

// What becomes of an element: kept as it is, written as a <div>, replaced
// by its contents, or left out with them.
Output OutputOf(const HtmlNode* node) {
  switch (node->tag) {
    case GUMBO_TAG_P: case GUMBO_TAG_H1: case GUMBO_TAG_H2: case GUMBO_TAG_H3: case GUMBO_TAG_H4:
    case GUMBO_TAG_H5: case GUMBO_TAG_H6: case GUMBO_TAG_UL: case GUMBO_TAG_OL: case GUMBO_TAG_LI:
    case GUMBO_TAG_DL: case GUMBO_TAG_DT: case GUMBO_TAG_DD: case GUMBO_TAG_BLOCKQUOTE: case GUMBO_TAG_PRE:
    case GUMBO_TAG_CODE: case GUMBO_TAG_TABLE: case GUMBO_TAG_CAPTION: case GUMBO_TAG_THEAD:
    case GUMBO_TAG_TBODY: case GUMBO_TAG_TFOOT: case GUMBO_TAG_TR: case GUMBO_TAG_TD: case GUMBO_TAG_TH:
    case GUMBO_TAG_FIGURE: case GUMBO_TAG_FIGCAPTION: case GUMBO_TAG_IMG: case GUMBO_TAG_A: case GUMBO_TAG_EM:
    case GUMBO_TAG_STRONG: case GUMBO_TAG_B: case GUMBO_TAG_I: case GUMBO_TAG_U: case GUMBO_TAG_S:
    case GUMBO_TAG_SUB: case GUMBO_TAG_SUP: case GUMBO_TAG_BR: case GUMBO_TAG_HR: case GUMBO_TAG_DIV:
    case GUMBO_TAG_SMALL: case GUMBO_TAG_MARK: case GUMBO_TAG_ABBR: case GUMBO_TAG_CITE: case GUMBO_TAG_Q:
    case GUMBO_TAG_DEL: case GUMBO_TAG_INS: case GUMBO_TAG_KBD: case GUMBO_TAG_SAMP: case GUMBO_TAG_VAR:
    case GUMBO_TAG_DFN: case GUMBO_TAG_STRIKE: case GUMBO_TAG_TT: case GUMBO_TAG_ADDRESS:
    case GUMBO_TAG_DETAILS: case GUMBO_TAG_SUMMARY:
      return Output::kKeep;
    case GUMBO_TAG_SECTION: case GUMBO_TAG_ARTICLE: case GUMBO_TAG_MAIN: case GUMBO_TAG_HEADER:
    case GUMBO_TAG_FOOTER: case GUMBO_TAG_ASIDE: case GUMBO_TAG_CENTER: case GUMBO_TAG_HGROUP:
    case GUMBO_TAG_FORM: case GUMBO_TAG_FIELDSET: case GUMBO_TAG_BODY:
      return Output::kAsDiv;
    case GUMBO_TAG_SCRIPT: case GUMBO_TAG_STYLE: case GUMBO_TAG_TEMPLATE: case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_IFRAME: case GUMBO_TAG_OBJECT: case GUMBO_TAG_EMBED: case GUMBO_TAG_SVG:
    case GUMBO_TAG_MATH: case GUMBO_TAG_INPUT: case GUMBO_TAG_BUTTON: case GUMBO_TAG_SELECT:
    case GUMBO_TAG_TEXTAREA: case GUMBO_TAG_HEAD: case GUMBO_TAG_TITLE: case GUMBO_TAG_SOURCE:
    case GUMBO_TAG_VIDEO: case GUMBO_TAG_AUDIO: case GUMBO_TAG_CANVAS: case GUMBO_TAG_COLGROUP:
    case GUMBO_TAG_COL: case GUMBO_TAG_RP: case GUMBO_TAG_RT:
      return Output::kDrop;
    default:
      return Output::kUnwrap;
  }
}

void AppendEscaped(std::string& out, std::string_view text, bool attribute) {
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"':
        if (attribute) {
          out += "&quot;";
          break;
        }
        [[fallthrough]];
      default: out += c;
    }
  }
}

// Text outside <pre> with each white space run written as one blank.
void AppendText(std::string& out, std::string_view text, bool preformatted) {
  if (preformatted) {
    AppendEscaped(out, text, false);
    return;
  }
  std::string collapsed;
  collapsed.reserve(text.size());
  for (char c : text) {
    const bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
    if (!space) collapsed += c;
    else if (collapsed.empty() || collapsed.back() != ' ') collapsed += ' ';
  }
  AppendEscaped(out, collapsed, false);
}

// A picture address as an attribute value that the picture scan reads as it
// stands: "&" stays (a query's separator), and the characters that could end
// the value or the tag are percent-encoded, as a browser would send them.
void AppendPictureAddress(std::string& out, std::string_view url) {
  for (char c : url) {
    const auto b = static_cast<unsigned char>(c);
    if (b > 0x20 && b != 0x7F && c != '"' && c != '<' && c != '>') {
      out += c;
      continue;
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += '%';
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
}

bool IsWebAddress(const std::string& url) {
  const std::string scheme = UrlScheme(url);
  return scheme == "http" || scheme == "https";
}

class Writer {
 public:
  explicit Writer(std::string_view base) : base_(base) {}

  void Write(const HtmlNode* root) {
    // Depth-first with explicit end markers, so deep pages need no deep stack.
    struct Step {
      const HtmlNode* node;
      const char* endTag;  // set: write this end tag
    };
    std::vector<Step> stack{{root, nullptr}};
    while (!stack.empty()) {
      const Step step = stack.back();
      stack.pop_back();
      if (step.endTag != nullptr) {
        out_ += "</";
        out_ += step.endTag;
        out_ += '>';
        if (step.node->Is(GUMBO_TAG_PRE)) --preDepth_;
        continue;
      }
      const HtmlNode* node = step.node;
      if (node->isText) {
        AppendText(out_, node->text, preDepth_ > 0);
        continue;
      }
      const Opened opened = Open(node);
      if (!opened.children) continue;
      if (node->Is(GUMBO_TAG_PRE)) ++preDepth_;
      if (opened.endTag != nullptr) stack.push_back({node, opened.endTag});
      for (size_t i = node->Children().size(); i-- > 0;) stack.push_back({node->Children()[i], nullptr});
    }
  }

  std::string Take() { return std::move(out_); }

 private:
  struct Opened {
    bool children = true;     // write the children
    const char* endTag = nullptr;  // the end tag after them, if any
  };

  // Writes the start tag of an element and says what follows it.
  Opened Open(const HtmlNode* node) {
    const Output output = OutputOf(node);
    if (output == Output::kDrop) return {false};
    if (output == Output::kUnwrap) return {};
    if (node->Is(GUMBO_TAG_IMG)) {
      WriteImage(node);
      return {false};
    }
    if (node->Is(GUMBO_TAG_BR) || node->Is(GUMBO_TAG_HR)) {
      out_ += node->Is(GUMBO_TAG_BR) ? "<br>" : "<hr>";
      return {false};
    }
    if (node->Is(GUMBO_TAG_A)) return {true, OpenLink(node)};
    const char* name = output == Output::kAsDiv ? "div" : gumbo_normalized_tagname(node->tag);
    out_ += '<';
    out_ += name;
    if (node->Is(GUMBO_TAG_TD) || node->Is(GUMBO_TAG_TH) || node->Is(GUMBO_TAG_OL)) {
      for (const char* attribute : {"colspan", "rowspan", "start"}) {
        const char* value = node->Attribute(attribute);
        if (value == nullptr) continue;
        out_ += ' ';
        out_ += attribute;
        out_ += "=\"";
        AppendEscaped(out_, value, true);
        out_ += '"';
      }
    }
    out_ += '>';
    return {true, name};
  }

  // A link to a web or mail address keeps its href; a script link or a
  // link to nowhere is written as its text.
  const char* OpenLink(const HtmlNode* node) {
    const char* href = node->Attribute("href");
    std::string url = href != nullptr ? ResolveWebAddress(base_, href) : std::string();
    const std::string scheme = UrlScheme(url);
    if (scheme != "http" && scheme != "https" && scheme != "mailto" && scheme != "ftp") return nullptr;
    out_ += "<a href=\"";
    AppendEscaped(out_, url, true);
    out_ += "\">";
    return "a";
  }

  void WriteImage(const HtmlNode* node) {
    const std::string url = ResolveWebAddress(base_, node->imageSource);
    if (!IsWebAddress(url)) return;
    out_ += "<img src=\"";
    AppendPictureAddress(out_, url);
    out_ += "\" alt=\"";
    if (const char* alt = node->Attribute("alt")) AppendEscaped(out_, alt, true);
    out_ += "\">";
  }

  std::string base_;
  std::string out_;
  int preDepth_ = 0;
};

}  // namespace

std::string WriteArticle(const std::vector<HtmlNode*>& parts, std::string_view base) {
  Writer writer(base);
  for (const HtmlNode* part : parts) writer.Write(part);
  return writer.Take();
}

std::uint32_t ArticleTextLength(const std::vector<HtmlNode*>& parts) {
  std::uint32_t length = 0;
  for (const HtmlNode* part : parts) length += part->chars - std::min(part->chars, part->linkChars);
  return length;
}

}  // namespace wrenly
