#include "platform/trace.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(Trace, OffByDefaultAndAppendsToTheNamedFile) {
  testsupport::TempDir dir;
  const std::string file = dir.path() + "/trace.log";
  unsetenv("WRENLY_TRACE");
  ReloadTraceSetting();
  EXPECT_FALSE(TraceEnabled());
  Trace("dropped\n");

  setenv("WRENLY_TRACE", file.c_str(), 1);
  ReloadTraceSetting();
  Trace("CEXML: Cannot load XML.\n");
  TraceF("%s %d\n", "count", 3);
  Trace(std::u16string_view(u"\u4E2D\n"));
  EXPECT_EQ(ReadAll(file), "CEXML: Cannot load XML.\ncount 3\n\xE4\xB8\xAD\n");

  unsetenv("WRENLY_TRACE");
  ReloadTraceSetting();
}

}  // namespace
}  // namespace wrenly
