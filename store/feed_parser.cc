#include "store/feed_parser.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <string_view>

#include "platform/text.h"
#include "store/channel_files.h"
#include "store/dates.h"
#include "store/picture_addresses.h"
#include "store/settings.h"
#include "store/translation.h"

namespace wrenly {
namespace {

using tinyxml2::XMLElement;

constexpr std::string_view kAtomNamespace = "http://www.w3.org/2005/Atom";

// A JSON Feed larger than any download can be is not read.
constexpr std::uint64_t kMaxFeedBytes = 64u * 1024 * 1024;

struct DetailRow {
  const char* element;
  const char16_t* label;  // shown translated
};

constexpr DetailRow kChannelDetails[] = {
    {"title", u"Title"},
    {"link", u"Link"},
    {"description", u"Description"},
    {"language", u"Language"},
    {"copyright", u"Copyright"},
    {"managingEditor", u"ManagingEditor"},
    {"webMaster", u"WebMaster"},
    {"pubDate", u"Published Date"},
    {"lastBuildDate", u"Last Build Date"},
    {"category", u"Category"},
    {"generator", u"Generator"},
    {"docs", u"Docs"},
    {"cloud", u"Cloud"},
    {"ttl", u"TTL"},
    {"image", u"Image"},
    {"textInput", u"TextInput"},
    {"skipHours", u"SkipHours"},
    {"skipDays", u"SkipDays"},
};

std::u16string Ascii(std::string_view text) { return std::u16string(text.begin(), text.end()); }

// The namespace prefix of an Atom root ("" or "atom:"), or nothing when the
// root is not an Atom feed.
std::optional<std::string> AtomPrefix(const XMLElement* root) {
  const std::string_view name = root->Name();
  const size_t colon = name.find(':');
  const std::string prefix = colon == std::string_view::npos ? "" : std::string(name.substr(0, colon + 1));
  if (name.substr(prefix.size()) != "feed") return std::nullopt;
  const std::string xmlns =
      prefix.empty() ? "xmlns" : "xmlns:" + prefix.substr(0, prefix.size() - 1);
  const char* declared = root->Attribute(xmlns.c_str());
  if (declared == nullptr || declared != kAtomNamespace) return std::nullopt;
  return prefix;
}

}  // namespace

const char* FeedKindName(FeedKind kind) {
  switch (kind) {
    case FeedKind::kRss:
      return "rss";
    case FeedKind::kRdf:
      return "rdf";
    case FeedKind::kAtom:
      return "atom";
    case FeedKind::kJson:
      return "json";
    case FeedKind::kNotAFeed:
      break;
  }
  return "not a feed";
}

CFeedParser::CFeedParser(AbortCallback abort, void* context)
    : abort_(std::move(abort)), context_(context) {}

int CFeedParser::Load(const std::string& path) {
  json_.reset();
  std::ifstream in(path, std::ios::binary);
  char start[64] = {};
  in.read(start, sizeof start);
  if (!LooksLikeJson(std::string_view(start, static_cast<size_t>(in.gcount())))) return LoadFile(path, false);
  ResetDocument();
  SetPath(path);
  // A JSON Feed is read from the file whenever it is needed, never held.
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size > 0 && static_cast<std::uint64_t>(size) <= kMaxFeedBytes) json_ = ReadJsonFeedFile(path);
  if (json_) return 1;
  SetLastError("not a JSON Feed");
  return 0;
}

void CFeedParser::Visit(const XMLElement*, const XMLElement* element) {
  const std::u16string name = AsciiLower(ElementName(element));
  if (name == u"rdf:rdf") {
    versionKind_ = kVersionRdf;
  } else if (name == u"rss") {
    const std::u16string version = AsciiLower(Attribute(element, "version").value_or(u""));
    if (version == u"2.0") versionKind_ = kVersionRss20;
    if (version == u"0.91") versionKind_ = kVersionRss091;
  }
}

CFeedParser::Container CFeedParser::FindContainer() const {
  const tinyxml2::XMLDocument* doc = Document();
  if (doc == nullptr) return {};
  if (const XMLElement* rss = doc->FirstChildElement("rss")) {
    if (const XMLElement* channel = rss->FirstChildElement("channel"))
      return {FeedKind::kRss, channel, ""};
  }
  if (const XMLElement* rdf = doc->FirstChildElement("rdf:RDF")) return {FeedKind::kRdf, rdf, ""};
  const XMLElement* root = doc->RootElement();
  if (root == nullptr) return {};
  if (std::optional<std::string> prefix = AtomPrefix(root))
    return {FeedKind::kAtom, root, *prefix};
  return {};
}

FeedKind CFeedParser::Kind() const { return json_ ? FeedKind::kJson : FindContainer().kind; }

bool CFeedParser::IsItem(const Container& container, const XMLElement* element) const {
  if (container.kind == FeedKind::kAtom) return element->Name() == container.prefix + "entry";
  return std::string_view(element->Name()) == "item";
}

bool CFeedParser::ReadItem(const Container& container, const XMLElement* element,
                           FeedItem& out) const {
  if (container.kind == FeedKind::kAtom)
    return ReadAtomEntry(*this, element, container.prefix, abort_, out);
  return ReadRssItem(*this, element, abort_, out);
}

namespace {

// Items up to this many bytes of text are read from the document before the
// merge guard (the data root's lock during a refresh) is taken, so the lock
// covers only the work on the files. Larger feeds are read item by item
// under it, as a whole copy would cost their size again in memory.
constexpr std::size_t kItemsReadAheadBytes = 2 * 1024 * 1024;

std::optional<std::vector<FeedItem>> ReadItemsWithin(const FeedItemSource& source, std::size_t budget) {
  std::vector<FeedItem> items;
  std::size_t units = 0;
  bool fits = true;
  source([&](const FeedItem& item) {
    units += item.title.size() + item.link.size() + item.date.size() + item.description.size();
    fits = units * sizeof(char16_t) <= budget;
    if (fits) items.push_back(item);
    return fits;
  });
  if (!fits) return std::nullopt;
  return items;
}

}  // namespace

int CFeedParser::MergeItems() {
  merged_ = {};
  const Container container = json_ ? Container{} : FindContainer();
  if (container.kind == FeedKind::kNotAFeed && !json_) return 0;
  const int limit = articleLimit_ ? *articleLimit_ : GetArticleLimit();
  // Items count whether new or not, and only after an item: a limit of 0 or
  // less still reads the first one.
  const auto source = [&](const FeedItemSink& take) {
    int taken = 0;
    if (json_) {
      ReadJsonFeedFile(GetPath(), [&](FeedItem&& item) { return take(item) && ++taken < limit; });
      return;
    }
    for (const XMLElement* child = container.element->FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement()) {
      if (Aborted()) break;
      if (!IsItem(container, child)) continue;
      FeedItem item;
      if (ReadItem(container, child, item) && !take(item)) break;
      if (++taken >= limit) break;
    }
  };
  const std::string itemFile = ItemFilePathForFeed(GetPath());
  std::optional<std::vector<FeedItem>> items = ReadItemsWithin(source, kItemsReadAheadBytes);
  const auto merge = [&] {
    merged_ = items ? MergeChannelItems(itemFile, *items, limit, abort_)
                    : MergeChannelItemsFrom(itemFile, source, limit, abort_);
  };
  if (mergeGuard_)
    mergeGuard_(merge);
  else
    merge();
  return merged_.written ? 1 : 0;
}

std::vector<std::u16string> CFeedParser::pictures() const {
  std::vector<std::u16string> addresses;
  for (const MergedPicture& picture : merged_.pictures) addresses.push_back(picture.address);
  return addresses;
}

std::vector<FeedItem> CFeedParser::ReadItems() const {
  std::vector<FeedItem> all;
  ForEachItem([&](const FeedItem& item) { all.push_back(item); });
  return all;
}

void CFeedParser::ForEachItem(const std::function<void(const FeedItem&)>& visit) const {
  if (json_) {
    ReadJsonFeedFile(GetPath(), [&](FeedItem&& item) {
      visit(item);
      return true;
    });
    return;
  }
  const Container container = FindContainer();
  if (container.kind == FeedKind::kNotAFeed) return;
  FeedItem item;
  for (const XMLElement* child = container.element->FirstChildElement(); child != nullptr;
       child = child->NextSiblingElement()) {
    if (IsItem(container, child) && ReadItem(container, child, item)) visit(item);
  }
}

const XMLElement* CFeedParser::RssChannelChild(const char* name) const {
  const tinyxml2::XMLDocument* doc = Document();
  const XMLElement* root = doc != nullptr ? doc->RootElement() : nullptr;
  const XMLElement* channel = root != nullptr ? root->FirstChildElement("channel") : nullptr;
  return channel != nullptr ? channel->FirstChildElement(name) : nullptr;
}

std::optional<std::u16string> CFeedParser::ChannelTitle() const {
  if (json_) return json_->title;
  const Container container = FindContainer();
  if (container.kind == FeedKind::kAtom) {
    const XMLElement* title = AtomChild(container.element, container.prefix, "title");
    if (title == nullptr) return std::nullopt;
    return AtomPlainText(*this, title);
  }
  const XMLElement* title = RssChannelChild("title");
  if (title == nullptr) return std::nullopt;
  return ElementText(title);
}

std::optional<std::u16string> CFeedParser::ChannelLink() const {
  if (json_) return json_->homePageUrl;
  const Container container = FindContainer();
  if (container.kind == FeedKind::kAtom) {
    std::u16string link = AtomAlternateLink(*this, container.element, container.prefix);
    if (link.empty()) return std::nullopt;
    return link;
  }
  const XMLElement* link = RssChannelChild("link");
  if (link == nullptr) return std::nullopt;
  return ElementText(link);
}

std::optional<std::u16string> CFeedParser::LogoAddress() const {
  if (json_) return json_->icon;
  const Container container = FindContainer();
  if (container.kind == FeedKind::kAtom) {
    const XMLElement* logo = AtomChild(container.element, container.prefix, "logo");
    if (logo == nullptr) logo = AtomChild(container.element, container.prefix, "icon");
    if (logo == nullptr) return std::nullopt;
    return ElementText(logo);
  }
  const XMLElement* image = RssChannelChild("image");
  const XMLElement* url = image != nullptr ? image->FirstChildElement("url") : nullptr;
  if (url == nullptr) return std::nullopt;
  return ElementText(url);
}

std::optional<std::u16string> CFeedParser::SiteIconAddress() const {
  if (json_) return json_->favicon;
  return std::nullopt;
}

std::u16string CFeedParser::ChannelInfoHtml() {
  std::u16string html = u"<HTML><BODY>";
  const tinyxml2::XMLDocument* doc = Document();
  const XMLElement* root = doc != nullptr ? doc->RootElement() : nullptr;
  if (root != nullptr) Visit(nullptr, root);
  if (versionKind_ == kVersionRss20)
    html += u"<B>" + Translate(u"RSS Version") + u": </B>2.0<BR>";
  else
    html += Translate(u"No details Available.") + u"<BR>";
  const XMLElement* channel = root != nullptr ? root->FirstChildElement("channel") : nullptr;
  for (const XMLElement* child = channel != nullptr ? channel->FirstChildElement() : nullptr;
       child != nullptr; child = child->NextSiblingElement()) {
    const std::u16string name = AsciiLower(ElementName(child));
    for (const DetailRow& row : kChannelDetails) {
      if (name != AsciiLower(Ascii(row.element))) continue;
      const std::u16string text = ElementText(child);
      if (!text.empty()) html += u"<B>" + Translate(row.label) + u": </B>" + text + u"<BR>\n";
    }
  }
  return html + u"</BODY></HTML>";
}

}  // namespace wrenly
