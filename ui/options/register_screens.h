// Puts the New Channel Wizard, the option pages and the channel properties
// into the screen table. Called once before the frame is created.
#pragma once

namespace wrenly::ui {

void RegisterSettingsScreens();

}  // namespace wrenly::ui
