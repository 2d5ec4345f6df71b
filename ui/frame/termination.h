// SIGTERM, SIGINT and SIGHUP end the program the way Exit does: the signal
// handler only writes to a pipe, and the GUI thread reads it and calls back.
#pragma once

#include <functional>

namespace wrenly::ui {

// Installs the handlers; onSignal runs on the GUI thread. Call once, after
// the application object exists.
void ExitOnTerminationSignals(std::function<void()> onSignal);

}  // namespace wrenly::ui
