// The command numbers of the soft keys and menus. Every menu action carries
// its number in QAction::data(), and pages handle commands by number, so a
// command a page does not handle can pass down to the page below it.
#pragma once

namespace wrenly::ui {

namespace cmd {
constexpr int kRefresh = 32793;
constexpr int kNew = 32795;
constexpr int kMenu = 32797;
constexpr int kBack = 32799;
constexpr int kFinish = 32800;
constexpr int kMarkRead = 32802;
constexpr int kMarkUnread = 32804;
constexpr int kMarkAllRead = 32806;
constexpr int kMarkAllUnread = 32808;
constexpr int kChannels = 32810;
constexpr int kHeadlines = 32814;
constexpr int kOptionsAutoUpdate = 32821;
constexpr int kOptionsDataStorage = 32822;
constexpr int kExport = 32826;
constexpr int kProperties = 32827;
constexpr int kRename = 32829;
constexpr int kDelete = 32831;
constexpr int kChangeCategory = 32832;
constexpr int kViewAll = 32843;
constexpr int kViewNew = 32844;
constexpr int kCancel = 32845;
constexpr int kNext = 32846;
constexpr int kOptionsNetwork = 32848;
constexpr int kExit = 32852;
constexpr int kOptionsContent = 32853;
constexpr int kFontLargest = 32854;
constexpr int kFontLarger = 32855;
constexpr int kFontMedium = 32856;
constexpr int kFontSmaller = 32857;
constexpr int kFontSmallest = 32859;
constexpr int kDeleteHeadline = 32861;
constexpr int kDeleteAllHeadlines = 32864;
constexpr int kEnglish = 32867;
constexpr int kSimplifiedChinese = 32869;
constexpr int kPreviousArticle = 32875;
constexpr int kNextArticle = 32877;
constexpr int kRefreshChannel = 32879;
constexpr int kOptionsAccount = 32890;
constexpr int kSearch = 32881;
constexpr int kOpenArticle = 32883;
constexpr int kAbout = 57664;
constexpr int kAllCategories = 16640;
constexpr int kAddDeleteCategories = 16641;
constexpr int kFirstCategory = 16642;
}  // namespace cmd

// Results a page hands to its opener when it closes.
constexpr int kResultCancel = 0;
constexpr int kResultOk = 1;

}  // namespace wrenly::ui
