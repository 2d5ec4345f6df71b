// Refreshes against a server that answers conditional requests.
#include <gtest/gtest.h>

#include "engine/feed_validators.h"
#include "engine/refresh_fixture.h"

namespace wrenly {
namespace {

using testing::ChannelFile;
using testing::ErrorRecordText;
using testing::Records;
using testing::Refresh;
using testing::RssFeed;
using testsupport::ReadFile;

// A feed whose body and validators the test changes; it answers 304 when
// the request's If-None-Match (or, without one, If-Modified-Since) matches.
struct ValidatingFeed {
  std::mutex mutex;
  std::string body, etag, lastModified;
  std::vector<std::pair<std::string, std::string>> asked;  // If-None-Match, If-Modified-Since
  int notModified = 0;

  void Answer(const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(mutex);
    const std::string inm = req.get_header_value("If-None-Match");
    const std::string ims = req.get_header_value("If-Modified-Since");
    asked.emplace_back(inm, ims);
    if (!etag.empty()) res.set_header("ETag", etag);
    if (!lastModified.empty()) res.set_header("Last-Modified", lastModified);
    const bool same = !inm.empty() ? inm == etag : !ims.empty() && ims == lastModified;
    if (same) {
      res.status = 304;
      ++notModified;
      return;
    }
    res.set_content(body, "text/xml");
  }
  std::pair<std::string, std::string> LastAsked() {
    std::lock_guard lock(mutex);
    return asked.back();
  }
};

class ConditionalRefresh : public Refresh {
 protected:
  void SetUp() override {
    Refresh::SetUp();
    ASSERT_TRUE(SetSettingInt(setting::kDownloadFulltext, 0));
    site_.Handle("/feed.xml", [this](const httplib::Request& req, httplib::Response& res) { feed_.Answer(req, res); });
    panel_.AddRow(100, u"One", site_.Url("/feed.xml"));
  }
  void SetFeed(std::vector<testing::FeedItemSpec> items, std::string etag, std::string lastModified) {
    std::lock_guard lock(feed_.mutex);
    feed_.body = RssFeed("One", site_.UrlUtf8("/"), "", items);
    feed_.etag = std::move(etag);
    feed_.lastModified = std::move(lastModified);
  }
  // What the table holds for the channel's feed, as the next refresh reads it.
  HttpValidators Stored() {
    return FeedValidatorTable(ChannelDataFolder()).Get(100, site_.UrlUtf8("/feed.xml"));
  }
  bool AnyStored() {
    const HttpValidators v = Stored();
    return !v.etag.empty() || !v.lastModified.empty();
  }
  ValidatingFeed feed_;
};

TEST_F(ConditionalRefresh, ValidatorsAreSentAndA304KeepsEverything) {
  const std::string date = "Tue, 08 Dec 2026 10:00:00 GMT";
  SetFeed({Item("a1", "x")}, "\"v1\"", date);
  RunRefresh();
  ASSERT_EQ(panel_.Icon(0), kIconUpdated);
  EXPECT_EQ(feed_.LastAsked(), std::make_pair(std::string(), std::string()));  // nothing stored yet
  const HttpValidators stored = Stored();
  EXPECT_EQ(stored.etag, "\"v1\"");
  EXPECT_EQ(stored.lastModified, date);

  // A failure leaves an error record; the 304 that follows clears it and
  // counts as a good refresh that changes no file.
  {
    std::lock_guard lock(feed_.mutex);
    feed_.body = "not a feed";
    feed_.etag = "\"broken\"";
  }
  RunRefresh();
  ASSERT_FALSE(ErrorRecordText(100).empty());
  SetFeed({Item("a1", "x"), Item("a2", "y")}, "\"v1\"", date);
  const std::string feedBefore = ReadFile(ChannelFile(100, ".xml"));
  const int iconRequests = site_.Requests("/favicon.ico");  // none is served, so each 200 asks again
  RunRefresh();
  EXPECT_EQ(site_.Requests("/favicon.ico"), iconRequests);
  EXPECT_EQ(feed_.LastAsked(), std::make_pair(std::string("\"v1\""), date));
  EXPECT_EQ(feed_.notModified, 1);
  EXPECT_EQ(panel_.Icon(0), kIconUpdated);
  EXPECT_EQ(ErrorRecordText(100), u"");
  EXPECT_EQ(Records(ChannelFile(100, ".bin")).size(), 1u);
  EXPECT_EQ(ReadFile(ChannelFile(100, ".xml")), feedBefore);
  EXPECT_EQ(view_.Params(WM_CHANNEL_COUNTS).back().second, 1 | 1 << 16);

  // A changed ETag brings a 200: merged, and the new validators are kept.
  SetFeed({Item("a1", "x"), Item("a2", "y")}, "\"v2\"", date);
  RunRefresh();
  EXPECT_EQ(Records(ChannelFile(100, ".bin")).size(), 2u);
  EXPECT_EQ(Stored().etag, "\"v2\"");
  RunRefresh();
  EXPECT_EQ(feed_.notModified, 2);
  EXPECT_EQ(feed_.LastAsked().first, "\"v2\"");
}

TEST_F(ConditionalRefresh, ServersWithoutValidatorsGetPlainRequests) {
  SetFeed({Item("a1", "x")}, "", "");
  RunRefresh();
  RunRefresh();
  EXPECT_FALSE(AnyStored());
  EXPECT_EQ(feed_.LastAsked(), std::make_pair(std::string(), std::string()));
  EXPECT_EQ(feed_.notModified, 0);

  // Validators that stop coming are forgotten, and a lost feed document
  // makes the next request plain again.
  SetFeed({Item("a1", "x")}, "\"v1\"", "");
  RunRefresh();
  EXPECT_TRUE(AnyStored());
  SetFeed({Item("a1", "x"), Item("a2", "y")}, "", "");
  RunRefresh();
  EXPECT_EQ(feed_.LastAsked().first, "\"v1\"");
  EXPECT_FALSE(AnyStored());
  SetFeed({Item("a1", "x")}, "\"v3\"", "");
  RunRefresh();
  std::remove(ChannelFile(100, ".xml").c_str());
  RunRefresh();
  EXPECT_EQ(feed_.LastAsked().first, "");
}

// A merge that wrote nothing (here the item file cannot be opened) is a
// failure: the validators and the feed document of the last good download
// stay, so the next refresh asks for the whole feed again and gets its items.
TEST_F(ConditionalRefresh, AMergeThatCouldNotWriteKeepsTheOldValidators) {
  const std::string date = "Tue, 08 Dec 2026 10:00:00 GMT";
  SetFeed({Item("a1", "x")}, "\"v1\"", date);
  RunRefresh();
  ASSERT_EQ(panel_.Icon(0), kIconUpdated);
  const std::string feedBefore = ReadFile(ChannelFile(100, ".xml"));

  SetFeed({Item("a1", "x"), Item("a2", "y")}, "\"v2\"", date);
  std::filesystem::rename(ChannelFile(100, ".bin"), ChannelFile(100, ".bin.saved"));
  std::filesystem::create_directory(ChannelFile(100, ".bin"));
  RunRefresh();
  EXPECT_EQ(panel_.Icon(0), kIconNotUpdated);
  EXPECT_EQ(panel_.row(0).error, kNotStoredText);
  EXPECT_EQ(Stored().etag, "\"v1\"");
  EXPECT_EQ(ReadFile(ChannelFile(100, ".xml")), feedBefore);

  std::filesystem::remove(ChannelFile(100, ".bin"));
  std::filesystem::rename(ChannelFile(100, ".bin.saved"), ChannelFile(100, ".bin"));
  RunRefresh();
  EXPECT_EQ(feed_.LastAsked().first, "\"v1\"");
  EXPECT_EQ(panel_.Icon(0), kIconUpdated);
  EXPECT_EQ(Records(ChannelFile(100, ".bin")).size(), 2u);
  EXPECT_EQ(Stored().etag, "\"v2\"");
}

// A 304 answers a conditional request only; one to a plain request leaves
// the channel without its feed and fails it with a reason.
TEST_F(ConditionalRefresh, A304ToAPlainRequestIsAFailure) {
  site_.Handle("/feed.xml", [](const httplib::Request&, httplib::Response& res) { res.status = 304; });
  RunRefresh();
  EXPECT_EQ(panel_.Icon(0), kIconNotUpdated);
  EXPECT_EQ(panel_.row(0).error, kNotModifiedUnaskedText);
  EXPECT_NE(ErrorRecordText(100).find(kNotModifiedUnaskedText), std::u16string::npos);
  EXPECT_FALSE(FileExists(ChannelFile(100, ".xml")));

  // Also when the feed document is gone and the validators were not sent.
  SetFeed({Item("a1", "x")}, "\"v1\"", "");
  site_.Handle("/feed.xml", [this](const httplib::Request& req, httplib::Response& res) { feed_.Answer(req, res); });
  RunRefresh();
  ASSERT_EQ(panel_.Icon(0), kIconUpdated);
  std::remove(ChannelFile(100, ".xml").c_str());
  site_.Handle("/feed.xml", [](const httplib::Request&, httplib::Response& res) { res.status = 304; });
  RunRefresh();
  EXPECT_EQ(panel_.Icon(0), kIconNotUpdated);
  EXPECT_EQ(panel_.row(0).error, kNotModifiedUnaskedText);
}

}  // namespace
}  // namespace wrenly
