// The trace sink: diagnostic lines that a shipped program does not show.
// Off unless WRENLY_TRACE is set: "stderr" writes to standard error, any other
// value names a file that lines are appended to. Safe for concurrent use.
#pragma once

#include <string_view>

namespace wrenly {

bool TraceEnabled();
// Writes text as it stands (callers end lines with "\n" themselves).
void Trace(std::string_view text);
void Trace(std::u16string_view text);
// printf-style convenience; formats only when tracing is on.
void TraceF(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Reads WRENLY_TRACE again (for tests that change it).
void ReloadTraceSetting();

}  // namespace wrenly
