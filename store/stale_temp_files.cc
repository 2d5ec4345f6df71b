#include "store/stale_temp_files.h"

#include "platform/file_ops.h"
#include "platform/temp_files.h"
#include "store/paths.h"
#include "store/settings.h"

namespace wrenly {

int RemoveStaleTempFilesAtStart() {
  const std::string root = GetDataRoot();
  int removed = 0;
  for (const std::string& folder : {FolderOf(SettingsFilePath()), root, root + "/ChannelData", root + "/Templates"})
    removed += RemoveStaleTempFiles(folder);
  return removed;
}

}  // namespace wrenly
