// The article view's page as text: the body's pictures swapped for the names
// of the copies stored on the device, and the page assembled around it.
// Pure functions; the view supplies the stored pictures and the translated
// words.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "ui/article/article_info.h"

namespace wrenly::ui {

// At most this many stored pictures per page; the rest show the filler.
constexpr int kMaxArticlePictures = 16;

// "newscontent01" ... "newscontent16" for slots 0 to 15.
std::u16string PictureName(int slot);

// Replaces each <img> src value (read as the item store reads picture
// addresses) by the quoted name of a stored picture or by "newsfiller".
// loadPicture(address, slot) puts the stored copy of address into the slot
// and says whether it could; it is asked for the first 16 distinct addresses
// that have one, and a repeated address gets the same name again. A further
// src in the same tag gets the same name as the first. Only the src values
// change; then every "http://" reads "hxxp://", so the viewer never treats a
// body address as something to fetch.
std::u16string SubstitutePictures(std::u16string_view body,
                                  const std::function<bool(const std::u16string& address, int slot)>& loadPicture);

// Text as HTML shows it as written: "&", "<", ">" and both quotes as
// entities, so it is safe in content and in a quoted attribute.
std::u16string EscapeMarkup(std::u16string_view text);

// Whether the record is the error entry of the last update.
bool IsErrorEntry(const ArticleInfo& article);

struct PageWords {
  std::u16string readMoreOnline;  // translated "Read More Online"
  std::u16string published;       // translated "Published"
};

// The whole page for an article whose body was already substituted. The
// title, the channel's title, the link and the date are text, escaped.
std::u16string ComposeArticlePage(const ArticleInfo& article, bool hasLogo, const PageWords& words);

// The page as the viewer is given it. Qt's HTML reader continues a
// paragraph with the inline content that follows its </P>, where a browser
// starts a new line; the title follows the logo or channel name that way,
// so a paragraph of its own opens after the first one.
std::u16string PageForViewer(std::u16string page);

}  // namespace wrenly::ui
