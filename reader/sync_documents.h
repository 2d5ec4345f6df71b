// The headlines of one channel as a JSON Feed document, which the channel's
// merge reads like any downloaded feed, so the item store, the headline list
// and the article view work as after a refresh. Pure function.
#pragma once

#include <string>
#include <vector>

#include "engine/sync/sync_server.h"

namespace wrenly::reader {

// The item's link in the store: the headline's link, or a made-up address
// naming the article when it has none.
std::string HeadlineLink(const sync::Headline& headline);

std::string HeadlinesDocument(const std::string& title, const std::vector<sync::Headline>& headlines);

}  // namespace wrenly::reader
