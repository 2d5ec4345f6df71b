#include "platform/text_file.h"

#include <gtest/gtest.h>

#include "platform/text.h"
#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

using testsupport::TempDir;
using testsupport::WriteFile;

std::u16string Read(const std::string& path, unsigned codePage, ReadTextError* error = nullptr) {
  std::u16string text = u"stale";
  const bool ok = ReadTextFile(path, text, codePage, error);
  return ok ? text : u"<failed>";
}

TEST(ReadTextFile, ByteOrderMarksChooseTheEncodingOverTheCodePage) {
  TempDir dir;
  const std::string p = dir.path() + "/t.htm";
  WriteFile(p, std::string("\xFF\xFE" "A\0\xE9\0", 6));
  EXPECT_EQ(Read(p, 1252), u"A\u00e9");
  WriteFile(p, std::string("\xFE\xFF\0A\0\xE9", 6));
  EXPECT_EQ(Read(p, 1252), u"A\u00e9");
  WriteFile(p, "\xEF\xBB\xBF" "caf\xC3\xA9");
  EXPECT_EQ(Read(p, 1252), u"caf\u00e9");
  WriteFile(p, "\xEF\xBB\xBF");
  EXPECT_EQ(Read(p, 1252), u"");
  // Without a mark the code page decides.
  WriteFile(p, "caf\xE9");
  EXPECT_EQ(Read(p, 1252), u"caf\u00e9");
  WriteFile(p, "caf\xC3\xA9");
  EXPECT_EQ(Read(p, kCodePageUtf8), u"caf\u00e9");
}

TEST(ReadTextFile, CodePageZeroMeansTheSystemCodePage) {
  TempDir dir;
  const std::string p = dir.path() + "/t.htm";
  WriteFile(p, "\xC4\xE3");
  SetSystemCodePageForTesting(936);
  EXPECT_EQ(Read(p, 0), u"\u4f60");
  SetSystemCodePageForTesting(0);
}

TEST(ReadTextFile, EmptyFileIsAnEmptyTextAndMissingOrFolderIsAnError) {
  TempDir dir;
  WriteFile(dir.path() + "/empty.htm", "");
  ReadTextError error = kReadTextCannotRead;
  EXPECT_EQ(Read(dir.path() + "/empty.htm", 0, &error), u"");
  EXPECT_EQ(error, kReadTextOk);
  EXPECT_EQ(Read(dir.path() + "/missing.htm", 0, &error), u"<failed>");
  EXPECT_EQ(error, kReadTextCannotOpen);
  EXPECT_EQ(Read(dir.path(), 0, &error), u"<failed>");
  EXPECT_EQ(error, kReadTextCannotOpen);
}

}  // namespace
}  // namespace wrenly
