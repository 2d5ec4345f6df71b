#include "fetcher/script_watchdog.h"

#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <string_view>

#include "fetcher/article_output.h"
#include "platform/trace.h"

namespace wrenly {

std::chrono::milliseconds ScriptTimeLimit() {
  const char* value = std::getenv(kScriptTimeLimitVariable);
  if (value == nullptr) return kDefaultScriptTimeLimit;
  const std::string_view text(value);
  long long ms = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), ms);
  if (error != std::errc() || end != text.data() + text.size() || ms <= 0) return kDefaultScriptTimeLimit;
  return std::chrono::milliseconds(ms);
}

ScriptWatchdog::ScriptWatchdog(std::chrono::milliseconds limit)
    : thread_([this, limit] { Watch(limit); }) {}

ScriptWatchdog::~ScriptWatchdog() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  stopped_.notify_all();
  thread_.join();
}

void ScriptWatchdog::Watch(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  if (stopped_.wait_for(lock, limit, [this] { return stop_; })) return;
  BlockArticleOutput();
  TraceF("The template ran longer than %lld ms; the run ends.\n", static_cast<long long>(limit.count()));
  Trace("Tolvane exits with code = 0x00000000.\n");
  ::_exit(0);
}

}  // namespace wrenly
