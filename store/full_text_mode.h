// A channel's full-text choice, kept as the "fulltext" attribute of its
// outline in the catalog (so import, export, rename and move keep it):
// "template" (the default, also for a missing or unknown value) fetches full
// texts when the channel has an extraction template, "automatic" extracts
// every article without one, "off" fetches none.
// Not synchronized, like the catalog it reads and changes.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "store/channel_catalog.h"

namespace wrenly {

enum class FullTextMode { kTemplate, kAutomatic, kOff };

// The catalog attribute that holds the choice.
inline constexpr char kFullTextAttribute[] = "fulltext";

// "template", "automatic" or "off".
std::u16string FullTextModeName(FullTextMode mode);
// The stored names and "auto", ignoring ASCII case; nothing for other text.
std::optional<FullTextMode> ParseFullTextMode(std::u16string_view text);

// The choice of the channel with that feed address (the first one, as every
// per-address operation of the catalog); kTemplate when it has none.
FullTextMode GetFullTextMode(CChannelCatalog& catalog, std::u16string_view url);
// Stores the choice and saves the catalog. 1 when the channel was found.
int SetFullTextMode(CChannelCatalog& catalog, std::u16string_view url, FullTextMode mode);

// Every channel's choice by channel number, read from the catalog file
// (empty when it cannot be read). For the refresh, which reads it once.
std::map<int, FullTextMode> ReadFullTextModes(const std::string& catalogPath);

}  // namespace wrenly
