// Fuzz target: arbitrary bytes as an item file and as a URL index: read
// record by record, searched, counted, and changed in place.
#include <filesystem>

#include "fuzz/fuzz_support.h"
#include "store/channel_store.h"
#include "store/item_record.h"

using namespace wrenly;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string items = fuzz::ScratchHome() + "/data/Ch100.bin";
  const std::string index = fuzz::ScratchHome() + "/data/Ch100.iid";
  if (!fuzz::WriteBytes(items, data, size) || !fuzz::WriteBytes(index, data, size)) return 0;
  {
    RecordReader reader(items);
    for (ItemRecord record; reader.Next(record, RecordReader::kAllTexts);) {
    }
  }
  CountItems(items);
  {
    CChannelStore store(items, true);
    store.ContainsLink(u"http://a/1");
    store.FindRecord(u"http://a/1", u"t");
    store.UpdateField(u"http://a/1", ItemField::kReadFlag, kFlagRead);
    store.AppendRecord(u"t", u"http://a/2", u"2009-01-27 04:44:03", kFlagUnread, kItemTypeOrdinary, u"d");
    store.DeleteItem(u"http://a/2");
  }
  CChannelStore urlIndex(index, false);
  urlIndex.ContainsLink(u"http://a/p.png");
  return 0;
}
