// The picture an <img> shows once the page's scripts have run: lazy-loading
// pages keep the real address in a data attribute or a srcset and put a
// placeholder (a data: URI, a blank GIF) or nothing in src. Pure functions;
// safe for concurrent use.
#pragma once

#include <string>
#include <string_view>

#include "fetcher/html_tree.h"

namespace wrenly {

// The address the image shows, as the page wrote it (relative or absolute);
// "" when it has none that can be fetched (only a data: URI, or nothing).
std::string ImageSource(const HtmlNode* img);

// The largest candidate of a srcset list ("a.jpg 320w, b.jpg 1024w" gives
// "b.jpg"; density descriptors compare the same way); "" for an empty list.
std::string BestSrcsetCandidate(std::string_view srcset);

}  // namespace wrenly
