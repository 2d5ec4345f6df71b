// Helpers of the reader tests: a data root in a temporary folder and small
// feed documents.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "reader/reader_data.h"
#include "testsupport/temp_dir.h"

namespace wrenly::reader {

class ReaderTest {
 protected:
  // An RSS document with items first..last (links http://c/N), written to a
  // file of its own outside the data root.
  std::string FeedFile(int first, int last) {
    std::string items;
    for (int i = first; i <= last; ++i)
      items += "<item><title>T" + std::to_string(i) + "</title><link>http://c/" + std::to_string(i) +
               "</link><pubDate>27 Jan 2009 04:44:" + std::to_string(10 + i % 50) + " GMT</pubDate></item>";
    const std::string path = files_.path() + "/feed" + std::to_string(++feeds_) + ".xml";
    testsupport::WriteFile(path, "<rss version=\"2.0\"><channel><title>C</title><link>http://c/</link>" + items +
                                     "</channel></rss>");
    return path;
  }
  std::string CatalogBytes() { return testsupport::ReadFile(data_.CatalogPath()); }
  // "itemCount/newItemCount" of the channel as the catalog holds them.
  std::string StoredCounts(int channel) {
    std::vector<CatalogEntry> entries;
    EXPECT_TRUE(data_.ListChannels(entries).done());
    for (const CatalogEntry& e : entries)
      if (e.Number() == channel) return Utf16ToUtf8(e.Get(u"itemCount") + u"/" + e.Get(u"newItemCount"));
    return "none";
  }
  // Subscribes the channel "C" (http://c/feed) in "News" and gives its number.
  int SubscribeC() {
    const ValueResult<int> r = data_.Subscribe(u"News", u"C", u"http://c/feed");
    EXPECT_TRUE(r.done()) << r.result.message;
    return r.value;
  }

  testsupport::IsolatedHome home_;
  testsupport::TempDir files_;
  ReaderData data_{home_.data() + "/Wrenly Mobile"};
  int feeds_ = 0;
};

}  // namespace wrenly::reader
