// Entry point of the Wrenly program: one copy at a time, then the main frame.
#include <QApplication>

#include "platform/malloc_arenas.h"
#include "platform/program_folder.h"
#include "platform/text.h"
#include "reader/settings.h"
#include "store/stale_temp_files.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/single_instance.h"
#include "ui/frame/termination.h"
#include "ui/headlines/headlines_dlg.h"
#include "ui/options/register_screens.h"

int main(int argc, char* argv[]) {
  wrenly::LimitMallocArenas();
  wrenly::ui::CSingleInstance instance;
  // A second copy ends at once and leaves the first one as it is.
  if (!instance.Acquire()) return 0;
  QApplication app(argc, argv);
  QApplication::setApplicationName("Wrenly Mobile");
  QApplication::setDesktopFileName("wrenly");
  wrenly::reader::StoreSetting(wrenly::setting::kRoot, wrenly::Utf8ToUtf16(wrenly::GetProgramFolder()));
  wrenly::RemoveStaleTempFilesAtStart();

  wrenly::ui::RegisterReadingScreens();
  wrenly::ui::RegisterSettingsScreens();
  wrenly::ui::CMainFrame frame;
  wrenly::ui::ExitOnTerminationSignals([&frame] { frame.Exit(); });
  frame.show();
  return app.exec();
}
