#include "fetcher/script_host.h"

#include <duktape.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "fetcher/cesu8.h"
#include "fetcher/script_bindings.h"
#include "platform/trace.h"

namespace wrenly {
namespace {

// Only reached for an error outside every protected call, which the host
// never makes; the engine cannot go on after it.
void OnFatalError(void*, const char* message) {
  TraceF("Script engine fatal error: %s\n", message != nullptr ? message : "");
  std::abort();
}

// Every block carries its size in a header, so the host can count what the
// engine holds.
constexpr std::size_t kHeader = alignof(std::max_align_t);

std::size_t BlockSize(void* block) {
  std::size_t size = 0;
  std::memcpy(&size, static_cast<char*>(block) - kHeader, sizeof size);
  return size;
}

void* StoreBlockSize(void* raw, std::size_t size) {
  std::memcpy(raw, &size, sizeof size);
  return static_cast<char*>(raw) + kHeader;
}

// Traces the error object on the stack top (message and line) and pops it.
void TraceScriptError(duk_context* ctx) {
  TraceF("Script error: %s\n", duk_safe_to_string(ctx, -1));
  duk_pop(ctx);
}

}  // namespace

CScriptHost::~CScriptHost() { CloseScriptHost(); }

void* CScriptHost::Allocate(void* udata, std::size_t size) {
  auto* host = static_cast<CScriptHost*>(udata);
  if (size > host->memoryLimit_ - host->allocated_) return nullptr;
  void* raw = std::malloc(size + kHeader);
  if (raw == nullptr) return nullptr;
  host->allocated_ += size;
  return StoreBlockSize(raw, size);
}

void* CScriptHost::Reallocate(void* udata, void* block, std::size_t size) {
  if (block == nullptr) return Allocate(udata, size);
  auto* host = static_cast<CScriptHost*>(udata);
  if (size == 0) {
    Free(udata, block);
    return nullptr;
  }
  const std::size_t old = BlockSize(block);
  if (size > old && size - old > host->memoryLimit_ - host->allocated_) return nullptr;
  void* raw = std::realloc(static_cast<char*>(block) - kHeader, size + kHeader);
  if (raw == nullptr) return nullptr;
  host->allocated_ = host->allocated_ - old + size;
  return StoreBlockSize(raw, size);
}

void CScriptHost::Free(void* udata, void* block) {
  if (block == nullptr) return;
  static_cast<CScriptHost*>(udata)->allocated_ -= BlockSize(block);
  std::free(static_cast<char*>(block) - kHeader);
}

bool CScriptHost::InitScriptHost(std::size_t memoryLimit) {
  CloseScriptHost();
  memoryLimit_ = memoryLimit;
  allocated_ = 0;
  ctx_ = duk_create_heap(Allocate, Reallocate, Free, this, OnFatalError);
  if (ctx_ == nullptr) return false;
  BindHostFunctions(ctx_);
  return true;
}

CScriptHost* CScriptHost::FromContext(duk_context* ctx) {
  duk_memory_functions functions;
  duk_get_memory_functions(ctx, &functions);
  return static_cast<CScriptHost*>(functions.udata);
}

bool CScriptHost::AddScript(std::u16string_view text) {
  if (ctx_ == nullptr) return false;
  const std::string source = Utf16ToCesu8(text);
  duk_push_string(ctx_, "template");
  if (duk_pcompile_lstring_filename(ctx_, 0, source.data(), source.size()) != 0) {
    TraceScriptError(ctx_);
    return false;
  }
  const bool ran = duk_pcall(ctx_, 0) == DUK_EXEC_SUCCESS;
  if (!ran) {
    TraceScriptError(ctx_);
    return false;
  }
  duk_pop(ctx_);
  return true;
}

bool CScriptHost::CallScriptEntry() {
  if (ctx_ == nullptr) return false;
  duk_get_global_string(ctx_, "ScriptEntry");
  if (!duk_is_callable(ctx_, -1)) {
    duk_pop(ctx_);
    Trace("ScriptEntry not found.\n");
    return false;
  }
  if (duk_pcall(ctx_, 0) != DUK_EXEC_SUCCESS) {
    TraceScriptError(ctx_);
    return false;
  }
  duk_pop(ctx_);
  return true;
}

void CScriptHost::CloseScriptHost() {
  if (ctx_ != nullptr) duk_destroy_heap(ctx_);
  ctx_ = nullptr;
}

}  // namespace wrenly
