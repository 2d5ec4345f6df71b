#include "ui/article/article_page.h"

#include <map>

#include "reader/reading.h"

namespace wrenly::ui {
namespace {

void ReplaceAll(std::u16string& text, std::u16string_view from, std::u16string_view to) {
  for (size_t at = text.find(from); at != std::u16string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

// Where the picture tag that holds text[at] ends: just after its ">", or
// the text's end. The scanner has read the tag's attributes up to `at`, so
// quotes are balanced from there on.
size_t TagEnd(std::u16string_view text, size_t at) {
  char16_t quote = 0;
  for (; at < text.size(); ++at) {
    const char16_t c = text[at];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == u'"' || c == u'\'') {
      quote = c;
    } else if (c == u'>') {
      return at + 1;
    }
  }
  return text.size();
}

// Puts `name` into every src attribute of a tag's remaining text, so that a
// further src cannot name a picture of its own.
std::u16string ReplaceFurtherSources(std::u16string_view tagRest, const std::u16string& name) {
  constexpr std::u16string_view kTag = u"<img ";
  std::u16string out;
  for (;;) {
    // The scanner reads attributes inside a picture tag only.
    const std::u16string probe = std::u16string(kTag) + std::u16string(tagRest);
    size_t pos = 0;
    PictureAddress found;
    if (!NextPictureAddress(probe, pos, found)) break;
    out.append(probe, kTag.size(), found.valueBegin - kTag.size());
    out += u'"' + name + u'"';
    tagRest.remove_prefix(found.valueEnd - kTag.size());
  }
  out.append(tagRest);
  return out;
}

}  // namespace

std::u16string PictureName(int slot) {
  const int n = slot + 1;
  return u"newscontent" + std::u16string(1, char16_t(u'0' + n / 10)) + char16_t(u'0' + n % 10);
}

std::u16string SubstitutePictures(std::u16string_view body,
                                  const std::function<bool(const std::u16string&, int)>& loadPicture) {
  std::u16string out;
  out.reserve(body.size() + 64);
  std::map<std::u16string, std::u16string> names;
  int count = 0;
  size_t copied = 0;
  PictureAddress found;
  for (size_t pos = 0; NextPictureAddress(body, pos, found);) {
    auto it = names.find(found.address);
    if (it == names.end()) {
      std::u16string name = u"newsfiller";
      if (count < kMaxArticlePictures && loadPicture(found.address, count)) name = PictureName(count++);
      it = names.emplace(found.address, std::move(name)).first;
    }
    out.append(body.substr(copied, found.valueBegin - copied));
    out += u'"';
    out += it->second;
    out += u'"';
    const size_t tagEnd = TagEnd(body, found.valueEnd);
    out += ReplaceFurtherSources(body.substr(found.valueEnd, tagEnd - found.valueEnd), it->second);
    copied = pos = tagEnd;
  }
  out.append(body.substr(copied));
  ReplaceAll(out, u"http://", u"hxxp://");
  return out;
}

std::u16string EscapeMarkup(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (const char16_t c : text) {
    switch (c) {
      case u'&': out += u"&amp;"; break;
      case u'<': out += u"&lt;"; break;
      case u'>': out += u"&gt;"; break;
      case u'"': out += u"&quot;"; break;
      case u'\'': out += u"&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::u16string PageForViewer(std::u16string page) {
  const std::size_t end = page.find(u"</P>");
  if (end != std::u16string::npos) page.insert(end + 4, u"<P>");
  return page;
}

bool IsErrorEntry(const ArticleInfo& article) { return article.link == kErrorMarkerLink; }

std::u16string ComposeArticlePage(const ArticleInfo& article, bool hasLogo, const PageWords& words) {
  const bool error = IsErrorEntry(article);
  const bool readMore = !error && !article.hasFullText;
  std::u16string page = u"<HTML><BODY style=\"word-break:break-all\">";
  if (hasLogo) page += u"<P><img src=\"logo\"></P>";
  page += u"<b><font color=\"#000080\">";
  if (!hasLogo) page += u"<P>" + EscapeMarkup(article.channelTitle) + u"</P>";
  page += article.wasRead ? u"</font></b><img src=\"news-read\">&nbsp;<B>"
                          : u"</font></b><img src=\"news-unread\">&nbsp;<B>";
  if (error) page += u"<font color=\"#FF0000\">";
  page += EscapeMarkup(article.title);
  if (error) page += u"</font>";
  page += u"</B><P>";
  page += article.body;
  page += u"</P>";
  if (readMore)
    page += u"<P><a href=\"" + EscapeMarkup(article.link) + u"\">" + EscapeMarkup(words.readMoreOnline) + u"...</a></P>";
  page += u"<P><font color=\"#C0C0C0\">" + EscapeMarkup(words.published) + u": ";
  page += EscapeMarkup(article.published);
  page += u"</font></P></BODY></HTML>";
  return page;
}

}  // namespace wrenly::ui
