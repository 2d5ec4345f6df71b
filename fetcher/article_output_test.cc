#include "fetcher/article_output.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/text.h"
#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

using testsupport::ReadFile;
using testsupport::WriteFile;

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

TEST(ArticleOutput, WritesUtf8WithMarkWhateverTheSystemCodePage) {
  SetSystemCodePageForTesting(1252);
  testsupport::TempDir dir;
  const std::string path = dir.path() + "/Ch100-1-001.htm";
  ASSERT_TRUE(StoreArticleBody(path, u"\u4e2d\u6587 caf\u00e9 \U0001F600"));
  EXPECT_EQ(ReadFile(path), "\xEF\xBB\xBF" + Utf16ToUtf8(u"\u4e2d\u6587 caf\u00e9 \U0001F600"));
  EXPECT_FALSE(Exists(path + ".part"));
  SetSystemCodePageForTesting(0);
}

TEST(ArticleOutput, EmptyTextOnlyDeletesTheOldFile) {
  testsupport::TempDir dir;
  const std::string path = dir.path() + "/a.htm";
  WriteFile(path, "old article");
  ASSERT_TRUE(StoreArticleBody(path, u""));
  EXPECT_FALSE(Exists(path));
  // A folder at the output path is left alone.
  std::filesystem::create_directory(path);
  StoreArticleBody(path, u"");
  EXPECT_TRUE(std::filesystem::is_directory(path));
}

TEST(ArticleOutput, SftPathsWriteTheHtmFile) {
  testsupport::TempDir dir;
  const std::string sft = dir.path() + "/a.sft.x.sft";
  const std::string htm = dir.path() + "/a.htm.x.htm";
  EXPECT_EQ(ArticlePathFor(sft), htm);
  WriteFile(sft, "old");
  ASSERT_TRUE(StoreArticleBody(sft, u"body"));
  EXPECT_FALSE(Exists(sft));
  EXPECT_EQ(ReadFile(htm), "\xEF\xBB\xBF" "body");
}

TEST(ArticleOutput, UnwritableFolderFailsWithoutLeftovers) {
  testsupport::TempDir dir;
  const std::string path = dir.path() + "/no/such/folder/a.htm";
  EXPECT_FALSE(StoreArticleBody(path, u"body"));
  EXPECT_FALSE(Exists(path));
}

}  // namespace
}  // namespace wrenly
