#include "ui/article/article_page.h"

#include <map>

#include "store/item_record.h"
#include "store/picture_addresses.h"

namespace wrenly::ui {
namespace {

void ReplaceAll(std::u16string& text, std::u16string_view from, std::u16string_view to) {
  for (size_t at = text.find(from); at != std::u16string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
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
    copied = found.valueEnd;
  }
  out.append(body.substr(copied));
  ReplaceAll(out, u"http://", u"hxxp://");
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
  if (!hasLogo) page += u"<P>" + article.channelTitle + u"</P>";
  page += article.wasRead ? u"</font></b><img src=\"news-read\">&nbsp;<B>"
                          : u"</font></b><img src=\"news-unread\">&nbsp;<B>";
  if (error) page += u"<font color=\"#FF0000\">";
  page += article.title;
  if (error) page += u"</font>";
  page += u"</B><P>";
  page += article.body;
  page += u"</P>";
  if (readMore) page += u"<P><a href=\"" + article.link + u"\">" + words.readMoreOnline + u"...</a></P>";
  page += u"<P><font color=\"#C0C0C0\">" + words.published + u": ";
  page += article.published;
  page += u"</font></P></BODY></HTML>";
  return page;
}

}  // namespace wrenly::ui
