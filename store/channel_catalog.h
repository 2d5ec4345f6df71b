// CChannelCatalog: the subscribed channels, grouped into categories, as an
// OPML document ("ChannelData/Channels.opml" under the data root). It gives
// every channel its number (the "uniqueID" that names the channel's files)
// and keeps per-channel counts. Loading reports each outline's attributes to
// a callback; the same class reads OPML files chosen for import. Every change
// saves the whole file at once, atomically.
// Not synchronized: one thread (the user-interface thread) owns the object.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "store/cexml.h"

namespace wrenly {

// (category, attribute name, attribute value). A category's own attributes
// come with an empty category; a channel's with its category's name; an
// outline with "type" "rss" ends with ("", "") for name and value.
using CatalogReport = std::function<void(const std::u16string& category,
                                         const std::u16string& name,
                                         const std::u16string& value)>;

// The catalog a first start begins with (built in, never read from a file).
extern const char kEmptyCatalogText[];
// The number the first channel of a catalog receives.
constexpr int kFirstChannelNumber = 100;

class CChannelCatalog : public CEXML {
 public:
  explicit CChannelCatalog(CatalogReport report = {});

  void Visit(const tinyxml2::XMLElement* parent, const tinyxml2::XMLElement* element) override;

  // Parses the empty catalog into the document (made when missing); writes
  // nothing to disk. 1.
  int CreateEmpty();
  // Loads the file and reports every outline. 1 loaded, 0 not (the catalog
  // is then empty and every search finds nothing).
  int LoadAndReport(const std::string& path);

  // The per-address operations act on the first outline, in search order,
  // whose "xmlUrl" equals url. An empty url matches nothing: a category's
  // empty "xmlUrl" is not a feed address. Results: 1 found, 0 not.
  int GetOutlineAttribute(std::u16string_view url, std::string_view name, std::u16string* value);
  int SetOutlineAttribute(std::u16string_view url, std::string_view name, std::u16string_view value);
  int DeleteByUrl(std::u16string_view url);
  // Moves the channel, with all it holds, to the end of the category.
  int MoveToCategory(std::u16string_view url, std::u16string_view category);

  // The first outline, categories and channels alike, whose "text" equals text.
  int DeleteByText(std::u16string_view text);
  int RenameByText(std::u16string_view oldText, std::u16string_view newText);
  // The same for categories only (outlines directly under body), so that a
  // channel titled like a category is never touched instead.
  int DeleteCategory(std::u16string_view name);
  int RenameCategory(std::u16string_view oldName, std::u16string_view newName);
  // True when a category of that name exists.
  bool HasCategory(std::u16string_view name) const;
  // True when the document has a root element with a "body" child, the
  // place every channel lives; without it nothing can be found or added.
  bool HasBody() const { return Body() != nullptr; }

  // Adds a channel, making the category first when it does not exist. An
  // empty category adds directly under body (that is how the wizard makes a
  // category: title = its name, url = ""). Result: the new channel number, 0
  // when refused (no document or body, title or url absent, or a title
  // already in the category, ignoring ASCII case).
  int AddChannel(std::u16string_view category, std::optional<std::u16string_view> title,
                 std::optional<std::u16string_view> url);
  // Makes the category when it does not exist. 0.
  int AddCategory(std::u16string_view name);

  // False when the last change could not be written to disk (the document
  // still holds the change); LastError() says why.
  bool LastSaveOk() const { return lastSaveOk_; }

  // While one lives, changes are saved once, when it goes (an import of many
  // channels then writes and flushes the file once, not once per channel).
  class DeferredSave {
   public:
    explicit DeferredSave(CChannelCatalog& catalog) : catalog_(catalog) { ++catalog_.deferred_; }
    ~DeferredSave();
    DeferredSave(const DeferredSave&) = delete;
    DeferredSave& operator=(const DeferredSave&) = delete;

   private:
    CChannelCatalog& catalog_;
  };

 private:
  tinyxml2::XMLElement* Body();
  const tinyxml2::XMLElement* Body() const;
  // First outline in search order for which match(outline) holds.
  template <typename Match>
  tinyxml2::XMLElement* Find(Match match);
  tinyxml2::XMLElement* FindByUrl(std::u16string_view url);
  tinyxml2::XMLElement* FindCategory(std::u16string_view name);
  bool HasValue(const tinyxml2::XMLElement* outline, const char* name,
                std::u16string_view value) const;
  int NextNumber(tinyxml2::XMLElement* body) const;
  tinyxml2::XMLElement* NewOutline(std::u16string_view text, int number);
  void Save();

  CatalogReport report_;
  bool lastSaveOk_ = true;
  int deferred_ = 0;          // live DeferredSave objects
  bool savePending_ = false;  // a change waits for the last of them
};

}  // namespace wrenly
