#include "store/full_text_mode.h"

#include <gtest/gtest.h>

#include "store/opml_import.h"
#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

TEST(FullTextMode, NamesReadBackAndUnknownTextIsRefused) {
  for (FullTextMode mode : {FullTextMode::kTemplate, FullTextMode::kAutomatic, FullTextMode::kOff})
    EXPECT_EQ(ParseFullTextMode(FullTextModeName(mode)), mode);
  EXPECT_EQ(ParseFullTextMode(u"AUTO"), FullTextMode::kAutomatic);
  EXPECT_EQ(ParseFullTextMode(u"on"), std::nullopt);
  EXPECT_EQ(ParseFullTextMode(u""), std::nullopt);
}

class FullTextModeCatalog : public ::testing::Test {
 protected:
  void SetUp() override {
    catalog_.SetPath(path_);
    catalog_.CreateEmpty();
    ASSERT_EQ(catalog_.AddChannel(u"News", u"One", u"http://a/one.xml"), 100);
    ASSERT_EQ(catalog_.AddChannel(u"News", u"Two", u"http://a/two.xml"), 101);
    ASSERT_EQ(catalog_.AddCategory(u"Later"), 0);
  }
  testsupport::TempDir dir_;
  const std::string path_ = dir_.path() + "/Channels.opml";
  CChannelCatalog catalog_;
};

TEST_F(FullTextModeCatalog, ChoiceIsStoredWithTheChannelAndSurvivesRenameAndMove) {
  EXPECT_EQ(GetFullTextMode(catalog_, u"http://a/one.xml"), FullTextMode::kTemplate);
  EXPECT_EQ(SetFullTextMode(catalog_, u"http://a/one.xml", FullTextMode::kAutomatic), 1);
  EXPECT_EQ(SetFullTextMode(catalog_, u"http://a/two.xml", FullTextMode::kOff), 1);
  EXPECT_EQ(SetFullTextMode(catalog_, u"http://a/none.xml", FullTextMode::kOff), 0);
  ASSERT_EQ(catalog_.RenameByText(u"One", u"First"), 1);
  ASSERT_EQ(catalog_.MoveToCategory(u"http://a/one.xml", u"Later"), 1);

  CChannelCatalog reloaded;
  ASSERT_EQ(reloaded.LoadAndReport(path_), 1);
  EXPECT_EQ(GetFullTextMode(reloaded, u"http://a/one.xml"), FullTextMode::kAutomatic);
  EXPECT_EQ(GetFullTextMode(reloaded, u"http://a/two.xml"), FullTextMode::kOff);
  EXPECT_EQ(ReadFullTextModes(path_),
            (std::map<int, FullTextMode>{{100, FullTextMode::kAutomatic}, {101, FullTextMode::kOff}}));
  // A damaged value counts as the default and is left for the user to fix.
  ASSERT_EQ(reloaded.SetOutlineAttribute(u"http://a/two.xml", kFullTextAttribute, u"sometimes"), 1);
  EXPECT_EQ(GetFullTextMode(reloaded, u"http://a/two.xml"), FullTextMode::kTemplate);
  EXPECT_EQ(ReadFullTextModes(path_).count(101), 0u);
  EXPECT_TRUE(ReadFullTextModes(dir_.path() + "/missing.opml").empty());
}

TEST_F(FullTextModeCatalog, ImportCarriesTheChoiceOfAnExportedCatalog) {
  ASSERT_EQ(SetFullTextMode(catalog_, u"http://a/one.xml", FullTextMode::kAutomatic), 1);
  // An export is a copy of the catalog file; import it into a new catalog.
  std::string error;
  const auto entries = ReadOpmlEntries(path_, &error);
  ASSERT_TRUE(entries) << error;
  CChannelCatalog target;
  target.SetPath(dir_.path() + "/Target.opml");
  target.CreateEmpty();
  const ImportCounts counts = AddOpmlEntries(target, *entries, u"Others");
  EXPECT_EQ(counts.channelsAdded, 2);
  EXPECT_EQ(GetFullTextMode(target, u"http://a/one.xml"), FullTextMode::kAutomatic);
  EXPECT_EQ(GetFullTextMode(target, u"http://a/two.xml"), FullTextMode::kTemplate);
}

}  // namespace
}  // namespace wrenly
