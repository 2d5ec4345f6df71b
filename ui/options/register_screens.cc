#include "ui/options/register_screens.h"

#include "engine/auto_update.h"
#include "engine/download_manager.h"
#include "ui/channels/channel_view.h"
#include "ui/frame/commands.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/screens.h"
#include "reader/reader_data.h"
#include "reader/sync.h"
#include "ui/options/channel_info_dlg.h"
#include "ui/options/option_account_dlg.h"
#include "ui/options/option_auto_update_dlg.h"
#include "ui/options/option_download_dlg.h"
#include "ui/options/option_network_dlg.h"
#include "ui/options/option_storage_dlg.h"
#include "ui/wizard/new_wizard_dlg.h"

namespace wrenly::ui {

namespace {

CPage* MakeOptionPage(CMainFrame& frame, int command) {
  switch (command) {
    case cmd::kOptionsContent: return new COptionDownloadDlg;
    case cmd::kOptionsAutoUpdate:
      return new COptionAutoUpdateDlg([&frame](bool start) {
        if (start)
          StartAutoUpdate(&frame.bridge());
        else
          StopAutoUpdate();
      });
    case cmd::kOptionsNetwork: return new COptionNetworkDlg;
    case cmd::kOptionsDataStorage:
      return new COptionStorageDlg(EnumerateStorageCards, [&frame] {
        return frame.downloading() || frame.channelView().downloading() || !frame.downloadManager().IsDrained();
      });
    case cmd::kOptionsAccount:
      return new COptionAccountDlg(reader::ReaderData::Current().root(), reader::CheckLogin);
    default: return nullptr;
  }
}

}  // namespace

void RegisterSettingsScreens() {
  Screens().newChannelWizard = [](CMainFrame&) -> CPage* { return new CNewWizardDlg; };
  Screens().options = MakeOptionPage;
  Screens().channelProperties = [](CMainFrame&, const ChannelRef& channel) -> CPage* {
    return new COptionChannelInfoDlg(channel);
  };
}

}  // namespace wrenly::ui
