// The program's settings: the values of section "Settings" by their value
// names, kept in "$XDG_CONFIG_HOME/Dalwick Software Lab/Wrenly Mobile.conf"
// (group [Settings]). A missing or unreadable value reads as its default and
// nothing writes defaults back; every write replaces the file atomically and
// keeps keys and lines it does not know. Safe for concurrent use from any
// thread; the file is read again whenever it changed on disk.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace wrenly {

// Value names.
namespace setting {
inline constexpr std::string_view kArticlesNumber = "ArticlesNumber";
inline constexpr std::string_view kArticlesNumberSet = "ArticlesNumberSet";
inline constexpr std::string_view kDownloadImage = "DownloadImage";
inline constexpr std::string_view kDownloadFulltext = "DownloadFulltext";
inline constexpr std::string_view kAutoUpdateMode = "AutoUpdateMode";
inline constexpr std::string_view kAutoUpdateTimeNum = "AutoUpdateTimeNum";
inline constexpr std::string_view kAutoUpdateTimeUnit = "AutoUpdateTimeUnit";
inline constexpr std::string_view kLastUpdateTime = "LastUpdateTime";
inline constexpr std::string_view kUseNetAgency = "UseNetAgency";
inline constexpr std::string_view kNetAgencyIP = "NetAgencyIP";
inline constexpr std::string_view kUseStorageCard = "UseStorageCard";
inline constexpr std::string_view kStorageCardNo = "StorageCardNo";
inline constexpr std::string_view kStorageCardName = "StorageCardName";
inline constexpr std::string_view kStorage = "Storage";
inline constexpr std::string_view kHtmlFontSize = "HtmlFontSize";
inline constexpr std::string_view kLanguage = "Language";
inline constexpr std::string_view kRoot = "Root";
inline constexpr std::string_view kSupportWebsite = "SupportWebsite";
// 1: count the network as always connected instead of following the
// kernel's routing table (default 0).
inline constexpr std::string_view kAlwaysConnected = "AlwaysConnected";
// The window's size and position when it last closed (Qt's saved geometry,
// base64); none: a size that suits the screen.
inline constexpr std::string_view kWindowGeometry = "WindowGeometry";
// The widths of the wide layout's three panes when the window last closed
// (Qt's saved splitter state, base64); none: shares that suit the window.
inline constexpr std::string_view kPaneSizes = "PaneSizes";
// 1: a desktop notice tells of new headlines after an automatic update while
// the window is not the active one; 0: no notice (default 1).
inline constexpr std::string_view kNewHeadlinesNotice = "NewHeadlinesNotice";
}  // namespace setting

// The article limit never goes above this for the store's readers.
constexpr int kMaxArticlesNumber = 100;

// A number: the stored decimal value, or the default when the value is
// missing or not a number. Names outside the table default to 0.
int GetSettingInt(std::string_view name);
// A text: the stored value, or the default ("" for names outside the table).
std::u16string GetSettingString(std::string_view name);

// Writes one value; false when the file could not be replaced (the previous
// file is then unchanged, and `error` says why).
bool SetSettingInt(std::string_view name, int value, std::string* error = nullptr);
bool SetSettingString(std::string_view name, std::u16string_view value, std::string* error = nullptr);

// The stored text of a value, nothing when it is not stored: for callers that
// must tell a stored value from the default.
std::optional<std::u16string> ReadStoredSetting(std::string_view name);

// "ArticlesNumber" as the item store and the feed parser use it: values
// above 100 count as 100; 0 or less is returned unchanged.
int GetArticleLimit();

// The settings file's path.
std::string SettingsFilePath();

}  // namespace wrenly
