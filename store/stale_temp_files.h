// The clean-up at start-up of the temporary files a killed process left in
// the program's folders: the settings folder, the data root and its
// ChannelData and Templates folders. Safe for concurrent use.
#pragma once

namespace wrenly {

// Removes the ones no live process of ours can still be writing
// (platform/temp_files.h). Returns how many.
int RemoveStaleTempFilesAtStart();

}  // namespace wrenly
