// The script host: one Duktape heap per run, with the host object's eleven
// functions bound as global functions. The script text is compiled and its
// global code run by AddScript; CallScriptEntry then calls ScriptEntry.
// Script errors (syntax or run time) go to the trace sink only and end the
// run. Design notes: fetcher/README.md.
// REQUIRES: external synchronization (everything runs on one thread).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "fetcher/host_object.h"

struct duk_hthread;

namespace wrenly {

// What one script run may allocate inside the engine; beyond it allocations
// fail, which the script sees as an error, so a hostile template cannot take
// the machine's memory. Pages are at most 64 MiB, which leaves ample room.
constexpr std::size_t kScriptMemoryLimit = std::size_t{1} << 30;

class CScriptHost {
 public:
  CScriptHost() = default;
  ~CScriptHost();
  CScriptHost(const CScriptHost&) = delete;
  CScriptHost& operator=(const CScriptHost&) = delete;

  // Creates the engine and binds the host functions; false when the engine
  // cannot be created.
  bool InitScriptHost(std::size_t memoryLimit = kScriptMemoryLimit);
  CHostObject& host() { return host_; }
  // Compiles the text and runs its global code; false on a script error.
  bool AddScript(std::u16string_view text);
  // Calls the global function ScriptEntry without arguments; false when it
  // does not exist or ends with a script error.
  bool CallScriptEntry();
  void CloseScriptHost();

  // For the bound functions: the host of a heap and the result they hand
  // back (kept here, so an error thrown while pushing it leaks nothing).
  static CScriptHost* FromContext(duk_hthread* ctx);
  std::string& resultScratch() { return result_; }

  // The engine's allocator, with the memory limit.
  static void* Allocate(void* udata, std::size_t size);
  static void* Reallocate(void* udata, void* block, std::size_t size);
  static void Free(void* udata, void* block);

 private:
  duk_hthread* ctx_ = nullptr;
  std::size_t memoryLimit_ = kScriptMemoryLimit;
  std::size_t allocated_ = 0;
  CHostObject host_;
  std::string result_;
};

}  // namespace wrenly
