// The <link> and <base> tags of a web page, read by one linear pass over its
// text (comments and the text of script, style, title and textarea skipped),
// without an HTML parse: a hostile page costs no more than its length.
// Pure functions; safe anywhere.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace wrenly {

struct PageTag {
  std::string name;                               // "link" or "base", lower case
  std::map<std::string, std::string> attributes;  // names in lower case, values with entities resolved
};

// The page's <link> and <base> start tags in page order.
std::vector<PageTag> LinkAndBaseTags(std::string_view html);

}  // namespace wrenly
