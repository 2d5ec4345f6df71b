// Shared by the fuzz targets: a scratch home for the settings and channel
// data, and a whole-file write. Each target is one process run by libFuzzer
// or by the replay driver; nothing here is thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace wrenly::fuzz {

// Points XDG_CONFIG_HOME and XDG_DATA_HOME at a fresh folder under /tmp
// (made once per process) and returns that folder.
const std::string& ScratchHome();
// Replaces the file with the bytes; false when it cannot be written.
bool WriteBytes(const std::string& path, const std::uint8_t* data, std::size_t size);

}  // namespace wrenly::fuzz
