// Picture addresses in HTML text: the "src" value of each <img> tag, read
// inside its own tag. One rule for the feed merge, item deletion, the
// full-text job and the article view. Pure functions; safe anywhere.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wrenly {

struct PictureAddress {
  std::u16string address;  // the value without its quotes
  // The value as written, quotes included: text[valueBegin, valueEnd).
  size_t valueBegin = 0;
  size_t valueEnd = 0;
};

// Finds the first picture address at or after `pos`; on success `pos` moves
// past the value, so calling again finds the next one. A quoted value ends
// at its matching quote; an unquoted one at a blank, tab, line feed, carriage
// return or ">". Tag and attribute names are matched ignoring case; an empty
// value is skipped. False when no further address exists.
bool NextPictureAddress(std::u16string_view html, size_t& pos, PictureAddress& found);

// Every address in order of appearance (repeats included).
std::vector<std::u16string> PictureAddresses(std::u16string_view html);

}  // namespace wrenly
