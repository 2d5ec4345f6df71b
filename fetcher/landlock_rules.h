// Landlock through its raw system calls: a process restricts its own file
// access to a few folders and files. Degrades by the kernel's ABI version
// (1: files; 2: moves between folders; 3: truncation; 4: TCP bind; 5: device
// ioctl; 6: abstract sockets and signals outside the sandbox).
#pragma once

#include <string>
#include <vector>

namespace wrenly {

struct FileRules {
  std::vector<std::string> readable;  // folders (with everything below) or files
  std::vector<std::string> writable;  // folders where files are made, written and removed; or files
};

// Restricts the calling thread and the threads it starts later. Missing
// paths are left out. Returns the ABI version applied, or 0 when the kernel
// has no Landlock or refuses it. Needs no_new_privs set before.
int RestrictFileAccess(const FileRules& rules);

}  // namespace wrenly
