// The program's settings as the front ends read and change them (the window's
// option pages and wrenly-cli's get and set): the values of the settings file
// by their names (store/settings.h has the names and the defaults). A change
// reads the file as it is on disk, sets one value and replaces the file, all
// under an exclusive lock that every process takes, so two programs that set
// different values at the same moment keep both. Reads take no lock: the file
// is only ever replaced whole. Safe for concurrent use.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "reader/result.h"
#include "store/settings.h"

namespace wrenly::reader {

// A number: the stored decimal value, or its default.
int SettingNumber(std::string_view name);
// A text: the stored value, or its default.
std::u16string SettingText(std::string_view name);
// The stored text, nothing when the value is not stored.
std::optional<std::u16string> StoredSetting(std::string_view name);

// Stores one value; refused (kFile, with the path and the problem) when the
// settings file could not be replaced, which then stays as it was.
Result StoreSetting(std::string_view name, int value);
Result StoreSetting(std::string_view name, std::u16string_view value);

// The settings file's path.
std::string SettingsPath();

}  // namespace wrenly::reader
