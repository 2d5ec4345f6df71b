#include "store/channel_catalog.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "platform/file_ops.h"
#include "platform/text.h"
#include "store/opml_import.h"
#include "testsupport/temp_dir.h"

namespace wrenly {
namespace {

using testsupport::ReadFile;
using testsupport::WriteFile;

struct Report {
  std::string category, name, value;
  bool operator==(const Report&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Report& r) {
  return os << "(" << r.category << "|" << r.name << "|" << r.value << ")";
}

class CatalogTest : public ::testing::Test {
 protected:
  CatalogTest()
      : catalog_([this](const std::u16string& c, const std::u16string& n, const std::u16string& v) {
          reports_.push_back({Utf16ToUtf8(c), Utf16ToUtf8(n), Utf16ToUtf8(v)});
        }) {
    catalog_.SetPath(path());
  }
  std::string path() const { return dir_.path() + "/Channels.opml"; }
  std::string saved() const { return ReadFile(path()); }
  // Reloads the saved file into a fresh catalog and returns its reports.
  std::vector<Report> ReloadReports() {
    reports_.clear();
    EXPECT_EQ(catalog_.LoadAndReport(path()), 1);
    return reports_;
  }
  void Load(const std::string& text) {
    WriteFile(path(), text);
    ASSERT_EQ(catalog_.LoadAndReport(path()), 1);
    reports_.clear();
  }
  std::u16string Attr(std::u16string_view url, std::string_view name) {
    std::u16string value;
    EXPECT_EQ(catalog_.GetOutlineAttribute(url, name, &value), 1) << Utf16ToUtf8(url);
    return value;
  }

  testsupport::TempDir dir_;
  std::vector<Report> reports_;
  CChannelCatalog catalog_;
};

TEST_F(CatalogTest, FirstAdditionWritesTheCatalogLayout) {
  catalog_.CreateEmpty();
  EXPECT_FALSE(std::filesystem::exists(path()));  // nothing on disk until a change
  EXPECT_EQ(catalog_.AddChannel(u"Others", u"Feed", u"http://a.test/rss?x=1&y=2"), 100);
  EXPECT_EQ(saved(),
            "<?xml version=\"1.0\" ?>\n"
            "<opml version=\"1.0\">\n"
            "    <head>\n"
            "        <title>Channels</title>\n"
            "        <options/>\n"
            "        <keywordList/>\n"
            "        <updated/>\n"
            "    </head>\n"
            "    <body nextID=\"101\">\n"
            "        <outline type=\"rss\" text=\"Others\" uniqueID=\"100\">\n"
            "            <outline type=\"rss\" text=\"Feed\" uniqueID=\"100\" "
            "xmlUrl=\"http://a.test/rss?x=1&amp;y=2\"/>\n"
            "        </outline>\n"
            "    </body>\n"
            "</opml>\n");
  EXPECT_TRUE(catalog_.LastSaveOk());
}

TEST_F(CatalogTest, NumbersCountUpFromNextIdAndAreNeverReused) {
  Load("<opml version=\"1.0\"><body><outline type=\"rss\" text=\"News\" uniqueID=\"7\"/></body></opml>");
  EXPECT_EQ(catalog_.AddChannel(u"News", u"A", u"http://a"), 100);  // no nextID: 100
  EXPECT_EQ(catalog_.AddChannel(u"Sport", u"B", u"http://b"), 101);  // category made with it
  EXPECT_EQ(Attr(u"http://b", "uniqueID"), u"101");
  EXPECT_TRUE(catalog_.HasCategory(u"Sport"));
  EXPECT_EQ(catalog_.AddChannel(u"", u"Others", u""), 102);  // the wizard's way to a category
  EXPECT_EQ(catalog_.AddChannel(u"Others", u"C", u"http://c"), 103);
  catalog_.DeleteByUrl(u"http://c");
  EXPECT_EQ(catalog_.AddChannel(u"Others", u"D", u"http://d"), 104);
  EXPECT_NE(saved().find("<body nextID=\"105\">"), std::string::npos);

  // A damaged nextID never hands out a number that is already in use.
  Load("<opml><body nextID=\"junk\"><outline type=\"rss\" text=\"N\" uniqueID=\"100\">"
       "<outline type=\"rss\" text=\"x\" uniqueID=\"250\" xmlUrl=\"u\"/></outline></body></opml>");
  EXPECT_EQ(catalog_.AddChannel(u"N", u"y", u"v"), 251);
  Load("<opml><body nextID=\"120\"><outline type=\"rss\" text=\"N\" uniqueID=\"130\"/></body></opml>");
  EXPECT_EQ(catalog_.AddChannel(u"N", u"y", u"v"), 131);
}

TEST_F(CatalogTest, AddChannelRefusals) {
  catalog_.CreateEmpty();
  ASSERT_GT(catalog_.AddChannel(u"Tech", u"Example News", u"http://one"), 0);
  EXPECT_EQ(catalog_.AddChannel(u"Tech", u"Example News", u"http://two"), 0);
  EXPECT_EQ(catalog_.AddChannel(u"Tech", u"eXample NEWS", u"http://two"), 0);
  EXPECT_GT(catalog_.AddChannel(u"Other", u"Example News", u"http://two"), 0);
  EXPECT_GT(catalog_.AddChannel(u"Tech", u"Second title", u"http://one"), 0);  // same address
  EXPECT_EQ(Attr(u"http://one", "text"), u"Example News");  // the first in search order
  EXPECT_EQ(catalog_.AddChannel(u"Tech", std::nullopt, u"http://x"), 0);
  EXPECT_EQ(catalog_.AddChannel(u"Tech", u"T", std::nullopt), 0);
  // A category made on the way stays although the channel is refused.
  EXPECT_EQ(catalog_.AddChannel(u"Fresh", std::nullopt, std::nullopt), 0);
  EXPECT_TRUE(catalog_.HasCategory(u"Fresh"));
  EXPECT_EQ(catalog_.AddCategory(u"Fresh"), 0);
  EXPECT_EQ(ReloadReports().size(), 27u);  // 3 categories, 3 channels, nothing twice

  CChannelCatalog none;  // no document
  EXPECT_EQ(none.AddChannel(u"A", u"B", u"C"), 0);
  Load(ReadFile(WRENLY_TESTDATA "/newsboat/test/data/body-element-missing.opml"));
  const std::string before = saved();
  EXPECT_EQ(catalog_.AddChannel(u"A", u"B", u"C"), 0);
  EXPECT_EQ(saved(), before);
}

TEST_F(CatalogTest, SearchOrderAndTheCategoryOnlyOperations) {
  Load("<opml><body>"
       "<outline type=\"rss\" text=\"News\" uniqueID=\"100\">"
       "<outline type=\"rss\" text=\"Tech\" uniqueID=\"101\" xmlUrl=\"http://tech-feed\"/></outline>"
       "<outline type=\"rss\" text=\"Tech\" uniqueID=\"102\">"
       "<outline type=\"rss\" text=\"Gadgets\" uniqueID=\"103\" xmlUrl=\"http://gadgets\"/></outline>"
       "</body></opml>");
  // The category-only operations skip the channel titled "Tech".
  EXPECT_EQ(catalog_.RenameCategory(u"Tech", u"Technology"), 1);
  EXPECT_EQ(Attr(u"http://tech-feed", "text"), u"Tech");
  EXPECT_TRUE(catalog_.HasCategory(u"Technology"));
  EXPECT_EQ(catalog_.DeleteCategory(u"Technology"), 1);
  EXPECT_EQ(catalog_.GetOutlineAttribute(u"http://gadgets", "text", nullptr), 0);
  EXPECT_EQ(Attr(u"http://tech-feed", "uniqueID"), u"101");
  EXPECT_EQ(catalog_.DeleteCategory(u"Tech"), 0);  // only a channel has that name now

  // By text, the first outline in search order wins: here the channel.
  EXPECT_EQ(catalog_.RenameByText(u"Tech", u"Tech Daily"), 1);
  EXPECT_EQ(Attr(u"http://tech-feed", "text"), u"Tech Daily");
  EXPECT_TRUE(catalog_.HasCategory(u"News"));
  EXPECT_EQ(catalog_.DeleteByText(u"News"), 1);  // a category goes with its channels
  EXPECT_EQ(catalog_.GetOutlineAttribute(u"http://tech-feed", "text", nullptr), 0);
  EXPECT_EQ(catalog_.DeleteByText(u"News"), 0);
  EXPECT_EQ(ReloadReports(), std::vector<Report>{});
}

TEST_F(CatalogTest, PerAddressOperationsAndAnEmptyAddress) {
  catalog_.CreateEmpty();
  catalog_.AddChannel(u"", u"Others", u"");
  catalog_.AddChannel(u"Others", u"Feed", u"http://feed");
  EXPECT_EQ(catalog_.SetOutlineAttribute(u"http://feed", "itemCount", u"12"), 1);
  EXPECT_EQ(Attr(u"http://feed", "itemCount"), u"12");
  EXPECT_EQ(Attr(u"http://feed", "newItemCount"), u"");  // absent reads as empty
  EXPECT_EQ(catalog_.SetOutlineAttribute(u"http://nowhere", "itemCount", u"1"), 0);
  // The category's empty "xmlUrl" is not an address: nothing is deleted.
  EXPECT_EQ(catalog_.DeleteByUrl(u""), 0);
  EXPECT_EQ(catalog_.GetOutlineAttribute(u"", "text", nullptr), 0);
  EXPECT_TRUE(catalog_.HasCategory(u"Others"));
  EXPECT_EQ(catalog_.DeleteByUrl(u"http://feed"), 1);
  EXPECT_EQ(catalog_.DeleteByUrl(u"http://feed"), 0);
}

TEST_F(CatalogTest, MovingKeepsEverythingOfTheChannel) {
  Load("<opml><body nextID=\"110\">"
       "<outline type=\"rss\" text=\"A\" uniqueID=\"100\">"
       "<outline type=\"rss\" text=\"One\" uniqueID=\"101\" xmlUrl=\"u1\" itemCount=\"5\" "
       "newItemCount=\"2\" extra=\"kept\"><note>inner</note></outline>"
       "<outline type=\"rss\" text=\"Two\" uniqueID=\"102\" xmlUrl=\"u2\"/></outline>"
       "<outline type=\"rss\" text=\"B\" uniqueID=\"103\"/>"
       "<outline type=\"rss\" text=\"Lone\" uniqueID=\"104\" xmlUrl=\"u4\"/>"
       "</body></opml>");
  EXPECT_EQ(catalog_.MoveToCategory(u"u1", u"B"), 1);
  EXPECT_NE(saved().find("<outline type=\"rss\" text=\"B\" uniqueID=\"103\">\n"
                         "            <outline type=\"rss\" text=\"One\" uniqueID=\"101\" "
                         "xmlUrl=\"u1\" itemCount=\"5\" newItemCount=\"2\" extra=\"kept\">\n"
                         "                <note>inner</note>"),
            std::string::npos)
      << saved();
  EXPECT_EQ(catalog_.MoveToCategory(u"u2", u"A"), 1);  // own category: stays, at the end
  EXPECT_EQ(catalog_.MoveToCategory(u"u4", u"B"), 1);  // a top-level channel moves too
  EXPECT_EQ(catalog_.MoveToCategory(u"u2", u"Missing"), 0);
  EXPECT_EQ(catalog_.MoveToCategory(u"missing", u"A"), 0);
  EXPECT_EQ(Attr(u"u1", "itemCount"), u"5");
  // A top-level channel named like the target cannot move into itself.
  Load("<opml><body><outline type=\"rss\" text=\"X\" xmlUrl=\"ux\"/></body></opml>");
  EXPECT_EQ(catalog_.MoveToCategory(u"ux", u"X"), 0);
  EXPECT_EQ(Attr(u"ux", "text"), u"X");
}

TEST_F(CatalogTest, ReportsFollowTypeAndOrder) {
  WriteFile(path(),
            "<opml><head><outline text=\"not in body\" type=\"rss\"/></head><body>"
            "<outline type=\"rss\" text=\"Cat\" uniqueID=\"100\">"
            "<outline type=\"RSS\" text=\"a, b: c\" xmlUrl=\"http://x/?q=1&amp;r=&quot;2&quot;\"/>"
            "<outline text=\"untyped\" xmlUrl=\"u\"/>"
            "<outline text=\"t\" type=\"link\" url=\"l\"/>"
            "</outline>"
            "<outline text=\"Folder\" type=\"link\"><outline type=\"rss\" text=\"hidden\"/></outline>"
            "<outline text=\"Plain\"><outline type=\"rss\" text=\"kid\"/></outline>"
            "<other type=\"rss\" text=\"ignored\"/>"
            "</body></opml>");
  const std::vector<Report> expected = {
      {"", "text", "not in body"}, {"", "type", "rss"}, {"", "", ""},
      {"", "type", "rss"}, {"", "text", "Cat"}, {"", "uniqueID", "100"}, {"", "", ""},
      {"Cat", "type", "RSS"}, {"Cat", "text", "a, b: c"}, {"Cat", "xmlUrl", "http://x/?q=1&r=\"2\""},
      {"Cat", "", ""},
      {"Cat", "text", "untyped"}, {"Cat", "xmlUrl", "u"},  // no type: no closing report
      {"Cat", "text", "t"},                                 // "link" ends the reports
      {"", "text", "Folder"},                               // and its children say nothing
      {"", "text", "Plain"},
      {"", "type", "rss"}, {"", "text", "kid"}, {"", "", ""},  // untyped parent: no category
  };
  EXPECT_EQ(ReloadReports(), expected);
}

TEST_F(CatalogTest, TextsKeepTheirCharactersInEitherEncoding) {
  catalog_.CreateEmpty();
  const std::u16string title = u"\u65B0\u805E \U0001F680 \"Q&A\" <b>";
  ASSERT_GT(catalog_.AddChannel(u"\u79D1\u6280", title, u"http://x/\u00E9"), 0);
  ReloadReports();
  EXPECT_EQ(Attr(u"http://x/\u00E9", "text"), title);

  Load("<?xml version=\"1.0\" encoding=\"GB2312\"?><opml><body>"
       "<outline type=\"rss\" text=\"\xBF\xC6\xBC\xBC\" uniqueID=\"100\"/></body></opml>");
  ASSERT_GT(catalog_.AddChannel(u"\u79D1\u6280", u"\u65B0\u95FB", u"http://gb"), 0);
  EXPECT_NE(saved().find("text=\"\xD0\xC2\xCE\xC5\""), std::string::npos);  // GB2312 bytes
  EXPECT_EQ(ReloadReports()[4], (Report{"\xE7\xA7\x91\xE6\x8A\x80", "type", "rss"}));
}

TEST_F(CatalogTest, BadFilesLoadAsEmptyAndAreNeverOverwritten) {
  const std::string real = ReadFile(WRENLY_TESTDATA "/feedvalidator/testcases/opml/clean/subscriptionList.opml");
  ASSERT_FALSE(real.empty());
  for (const std::string& broken : {real.substr(0, real.size() / 2), std::string("\x01garbage"),
                                    std::string("<opml><body><outline text=\"a></body></opml>")}) {
    WriteFile(path(), broken);
    EXPECT_EQ(catalog_.LoadAndReport(path()), 0);
    EXPECT_TRUE(reports_.empty());
    EXPECT_EQ(catalog_.AddChannel(u"A", u"B", u"http://c"), 0);
    EXPECT_EQ(catalog_.DeleteByText(u"Workbench"), 0);
    EXPECT_EQ(catalog_.SetOutlineAttribute(u"http://www.scripting.com/rss.xml", "text", u"x"), 0);
    EXPECT_EQ(saved(), broken);
  }
}

// Limits the size of files this process may write, as a full disk would.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }

 private:
  rlimit old_;
  void (*oldHandler_)(int);
};

TEST_F(CatalogTest, AFailedSaveLeavesTheOldCatalogWhole) {
  catalog_.CreateEmpty();
  for (int i = 0; i < 5; ++i)
    catalog_.AddChannel(u"News", u"Feed " + Utf8ToUtf16(std::to_string(i)), u"http://f/" + Utf8ToUtf16(std::to_string(i)));
  const std::string before = saved();
  {
    FileSizeLimit limit(before.size() - 10);
    EXPECT_EQ(catalog_.AddChannel(u"News", u"One more", u"http://more"), 105);
    EXPECT_FALSE(catalog_.LastSaveOk());
  }
  EXPECT_EQ(saved(), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()),
                          std::filesystem::directory_iterator()),
            1);  // no temporary file left behind
  EXPECT_EQ(Attr(u"http://more", "text"), u"One more");  // memory still has it
  catalog_.SetOutlineAttribute(u"http://more", "itemCount", u"0");
  EXPECT_TRUE(catalog_.LastSaveOk());
  EXPECT_NE(saved().find("http://more"), std::string::npos);
}

// Counts the file replacements (renames) made while it lives.
class RenameCounter : public FileFaults {
 public:
  RenameCounter() { SetFileFaults(this); }
  ~RenameCounter() override { SetFileFaults(nullptr); }
  int Before(FileCall call) override {
    if (call == FileCall::kRename) ++renames;
    return 0;
  }
  int renames = 0;
};

TEST_F(CatalogTest, AnImportWritesTheCatalogOnce) {
  catalog_.CreateEmpty();
  std::vector<OpmlEntry> entries = {{u"News", u"", u"", {}}, {u"Loose", u"http://loose", u"", {}}};
  for (int i = 0; i < 20; ++i) {
    const std::u16string n = Utf8ToUtf16(std::to_string(i));
    entries[0].children.push_back({u"Feed " + n, u"http://f/" + n, u"", {}});
  }
  RenameCounter counter;
  const ImportCounts counts = AddOpmlEntries(catalog_, entries, u"Others");
  EXPECT_EQ(counts.channelsAdded, 21);
  EXPECT_EQ(counter.renames, 1);
  EXPECT_TRUE(catalog_.LastSaveOk());
  EXPECT_NE(saved().find("http://f/19"), std::string::npos);
  EXPECT_NE(saved().find("http://loose"), std::string::npos);
  // Later changes are saved at once again.
  catalog_.AddChannel(u"News", u"After", u"http://after");
  EXPECT_EQ(counter.renames, 2);
}

TEST(OpmlImport, RealFilesFollowTheChooserRules) {
  testsupport::TempDir dir;
  std::string error;
  const auto flat = ReadOpmlEntries(WRENLY_TESTDATA "/feedvalidator/testcases/opml/clean/subscriptionList.opml", &error);
  ASSERT_TRUE(flat) << error;
  ASSERT_EQ(flat->size(), 13u);
  EXPECT_EQ((*flat)[9].text, u"NYT > Business");
  EXPECT_EQ((*flat)[9].url, u"http://www.nytimes.com/services/xml/rss/nyt/Business.xml");

  // Folders keep their channels whatever their type; channels of a nested
  // folder join the top-level one; an outline without text is named by its title.
  const auto nested = ReadOpmlEntries(WRENLY_TESTDATA "/newsboat/test/data/example.opml", &error);
  ASSERT_TRUE(nested) << error;
  ASSERT_EQ(nested->size(), 6u);
  EXPECT_EQ((*nested)[4].text, u"Blogs");
  ASSERT_EQ((*nested)[4].children.size(), 2u);
  EXPECT_EQ((*nested)[4].children[0].text, u"John's musings");
  EXPECT_EQ((*nested)[4].children[1].url, u"https://blogs.example.com/~mike/.rss");
  EXPECT_EQ((*nested)[5].text, u"eloquent");
  ASSERT_EQ((*nested)[5].children.size(), 1u);

  EXPECT_FALSE(ReadOpmlEntries(dir.path() + "/missing.opml", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(ReadOpmlEntries(WRENLY_TESTDATA "/newsboat/test/data/body-element-missing.opml", &error));
  EXPECT_NE(error.find("no <body>"), std::string::npos);
}

TEST_F(CatalogTest, ImportAddsCategoriesChannelsAndCountsRefusals) {
  WriteFile(dir_.path() + "/in.opml",
            "<opml><body>"
            "<outline type=\"rss\" text=\"Top\" xmlUrl=\"http://top\"/>"
            "<outline type=\"rss\" text=\"Tech\">"
            "<outline type=\"rss\" text=\"A\" xmlUrl=\"http://a\"/>"
            "<outline type=\"rss\" text=\"a\" xmlUrl=\"http://a2\"/>"
            "<outline type=\"rss\" text=\"NoUrl\"/></outline>"
            "</body></opml>");
  std::string error;
  const auto entries = ReadOpmlEntries(dir_.path() + "/in.opml", &error);
  ASSERT_TRUE(entries);
  catalog_.CreateEmpty();
  const ImportCounts counts = AddOpmlEntries(catalog_, *entries, u"Others");
  EXPECT_EQ(counts.channelsAdded, 2);
  EXPECT_EQ(counts.channelsRefused, 1);  // "a" repeats "A"; "NoUrl" is no channel
  EXPECT_EQ(counts.categoriesAdded, 1);
  EXPECT_EQ(Attr(u"http://top", "uniqueID"), u"100");
  EXPECT_TRUE(catalog_.HasCategory(u"Others"));
  EXPECT_TRUE(catalog_.HasCategory(u"Tech"));
  EXPECT_EQ(Attr(u"http://a", "text"), u"A");
}

}  // namespace
}  // namespace wrenly
