// Fuzz target: a feed document loaded and merged twice into a scratch item
// file and URL index, which are then read back record by record.
#include <filesystem>

#include "fuzz/fuzz_support.h"
#include "store/channel_store.h"
#include "store/feed_parser.h"
#include "store/item_record.h"

using namespace wrenly;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string folder = fuzz::ScratchHome() + "/data";
  const std::string feed = folder + "/Ch100~.xml";
  std::error_code ec;
  for (const char* name : {"/Ch100.bin", "/Ch100.iid"}) std::filesystem::remove(folder + name, ec);
  if (!fuzz::WriteBytes(feed, data, size)) return 0;
  for (int pass = 0; pass < 2; ++pass) {
    CFeedParser parser;
    if (parser.Load(feed) != 1) return 0;
    parser.ChannelTitle();
    parser.LogoAddress();
    parser.ChannelInfoHtml();
    if (parser.MergeItems() != 1) return 0;
  }
  for (const char* name : {"/Ch100.bin", "/Ch100.iid"}) {
    RecordReader reader(folder + name);
    for (ItemRecord record; reader.Next(record, RecordReader::kAllTexts);) {
    }
  }
  CountItems(folder + "/Ch100.bin");
  return 0;
}
