#include "reader/settings.h"

#include "platform/text.h"

namespace wrenly::reader {
namespace {

Result Stored(bool written, const std::string& error) {
  if (written) return Result::Done();
  return Result::Refused(Refusal::kFile, "cannot write the settings file " + SettingsFilePath() + ": " + error);
}

}  // namespace

int SettingNumber(std::string_view name) { return GetSettingInt(name); }

std::u16string SettingText(std::string_view name) { return GetSettingString(name); }

std::optional<std::u16string> StoredSetting(std::string_view name) { return ReadStoredSetting(name); }

Result StoreSetting(std::string_view name, int value) {
  std::string error;
  const bool written = SetSettingInt(name, value, &error);
  return Stored(written, error);
}

Result StoreSetting(std::string_view name, std::u16string_view value) {
  std::string error;
  const bool written = SetSettingString(name, value, &error);
  return Stored(written, error);
}

std::string SettingsPath() { return SettingsFilePath(); }

}  // namespace wrenly::reader
