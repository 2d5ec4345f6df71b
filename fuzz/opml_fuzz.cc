// Fuzz target: an OPML file read and imported into a fresh catalog.
#include "fuzz/fuzz_support.h"
#include "store/channel_catalog.h"
#include "store/opml_import.h"

using namespace wrenly;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = fuzz::ScratchHome() + "/import.opml";
  if (!fuzz::WriteBytes(path, data, size)) return 0;
  std::string error;
  const auto entries = ReadOpmlEntries(path, &error);
  if (!entries) return 0;
  CChannelCatalog catalog;
  catalog.CreateEmpty();
  AddOpmlEntries(catalog, *entries, u"Others");
  return 0;
}
