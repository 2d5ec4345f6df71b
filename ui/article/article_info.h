// The record of one headline that the headline list hands to the article
// view, and the headline list's side of stepping from article to article.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace wrenly::ui {

struct ArticleInfo {
  int32_t channel = 0;
  std::u16string channelTitle;
  std::u16string title;
  std::u16string body;       // the description, or the stored full text
  std::u16string link;       // the error entry's marker link for the error entry
  std::u16string published;  // the date text as the list shows it
  bool wasRead = false;      // read before this opening
  bool hasFullText = false;  // body holds the full-text file's text
  // The stored picture file of each picture address of the body that has
  // one, and the channel's stored logo (empty: none), as the reader's data
  // named them when the article was opened.
  std::map<std::u16string, std::string> pictures;
  std::string logoFile;
};

// The headline list as the article view sees it. direction: +1 next,
// -1 previous, 0 the selected headline.
class IArticleSource {
 public:
  virtual ~IArticleSource() = default;
  // Whether a headline lies in that direction from the selected one.
  virtual bool CanMove(int direction) const = 0;
  // Selects that headline, marks it read and returns its record.
  virtual ArticleInfo GetArticle(int direction) = 0;
};

}  // namespace wrenly::ui
