// The screens that open from the channel list and the main menu, made by the
// modules that build them. Each entry creates a page; the channel list pushes
// it onto the frame and gets its result when it closes. An entry left empty
// means the screen is not part of this build, and its command does nothing.
#pragma once

#include <QString>
#include <functional>

namespace wrenly::ui {

class CMainFrame;
class CPage;

struct ChannelRef {
  int number = 0;
  QString title;
  QString url;
};

struct ChannelCounts {
  int number = 0;
  int total = 0;
  int unread = 0;
};

struct ScreenFactory {
  // The headline list of a channel.
  std::function<CPage*(CMainFrame&, const ChannelRef&)> headlines;
  // The New Channel Wizard; closes with kResultOk when it added something.
  std::function<CPage*(CMainFrame&)> newChannelWizard;
  // An option page by its menu command (cmd::kOptionsContent, ...).
  std::function<CPage*(CMainFrame&, int command)> options;
  // The properties of a channel.
  std::function<CPage*(CMainFrame&, const ChannelRef&)> channelProperties;
  // The search screen, over one channel or (number 0) every channel.
  std::function<CPage*(CMainFrame&, const ChannelRef&)> search;
};

// The process's table, filled in before the frame is created.
ScreenFactory& Screens();

}  // namespace wrenly::ui
