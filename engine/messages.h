// The download engine's messages: the fixed numbers of the channel list view
// and the registered names that announce the phases of a refresh. They travel
// through the notifier (platform/notifier.h) as window messages did.
#pragma once

#include "platform/notifier.h"

namespace wrenly {

constexpr MessageId WM_REFRESH_TOGGLE = 0x07E9;
constexpr MessageId WM_REFRESH_DONE = 0x07EA;
// The automatic update's trigger: starts a refresh only when none runs.
constexpr MessageId WM_REFRESH_SCHEDULED = 0x07EC;
// wParam row, lParam total | unread << 16 (each clamped to 16 bits).
constexpr MessageId WM_CHANNEL_COUNTS = 0x07EB;
// After a merge that added items: wParam row, lParam how many it added.
constexpr MessageId WM_CHANNEL_NEW_ITEMS = 0x07ED;
// wParam 1 docked, 0 undocked.
constexpr MessageId WM_CRADLE_CHANGED = 0x087E;

constexpr const char* kMsgDownloadStart = "Wrenly.Download.Start";
constexpr const char* kMsgHeadlinesFinished = "Wrenly.Download.Headlines.Finished";
constexpr const char* kMsgFulltextFetched = "Wrenly.Download.Item.Get.Fulltext";
constexpr const char* kMsgDownloadFinished = "Wrenly.Download.Finished";

// Posts a registered message to every broadcast receiver (wParam and lParam 0).
void BroadcastRegistered(const char* name);

}  // namespace wrenly
