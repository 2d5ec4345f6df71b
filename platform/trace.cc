#include "platform/trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/text.h"

namespace wrenly {
namespace {

struct TraceState {
  std::mutex mutex;
  bool loaded = false;
  bool enabled = false;
  bool toStderr = false;
  std::string file;
};

TraceState& State() {
  static TraceState state;
  return state;
}

void LoadLocked(TraceState& s) {
  const char* value = std::getenv("WRENLY_TRACE");
  s.enabled = value != nullptr && *value != '\0';
  s.toStderr = s.enabled && std::string_view(value) == "stderr";
  s.file = s.enabled && !s.toStderr ? value : "";
  s.loaded = true;
}

}  // namespace

bool TraceEnabled() {
  TraceState& s = State();
  std::lock_guard lock(s.mutex);
  if (!s.loaded) LoadLocked(s);
  return s.enabled;
}

void Trace(std::string_view text) {
  TraceState& s = State();
  std::lock_guard lock(s.mutex);
  if (!s.loaded) LoadLocked(s);
  if (!s.enabled) return;
  if (s.toStderr) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
    return;
  }
  if (FILE* f = std::fopen(s.file.c_str(), "a")) {
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
}

void Trace(std::u16string_view text) {
  if (TraceEnabled()) Trace(Utf16ToUtf8(text));
}

void TraceF(const char* format, ...) {
  if (!TraceEnabled()) return;
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (length > 0) {
    std::string text(static_cast<size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.pop_back();
    Trace(std::string_view(text));
  }
  va_end(args);
}

void ReloadTraceSetting() {
  TraceState& s = State();
  std::lock_guard lock(s.mutex);
  LoadLocked(s);
}

}  // namespace wrenly
