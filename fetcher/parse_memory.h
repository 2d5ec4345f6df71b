// The memory of one gumbo parse: every block gumbo asks for is kept in a
// list, so the whole parse is freed in one sweep (gumbo's own clean-up
// recurses once per level of nesting and overflows the stack on deep pages),
// and a parse that asks for more than its budget of bytes or of CPU time is
// abandoned on the spot (gumbo asks for memory at every tag).
// REQUIRES: external synchronization (one parse on one thread).
#pragma once

#include <gumbo.h>

#include <csetjmp>
#include <cstddef>
#include <string_view>

namespace wrenly {

class ParseMemory {
 public:
  // budget: the bytes the parse may ask for in all (freed blocks count too).
  // cpuSeconds: the CPU time of the calling thread the parse may take.
  ParseMemory(size_t budget, double cpuSeconds);
  ~ParseMemory() { FreeAll(); }
  ParseMemory(const ParseMemory&) = delete;
  ParseMemory& operator=(const ParseMemory&) = delete;

  // Gumbo's options with this memory as allocator.
  GumboOptions Options();
  // Parses text; nullptr when the parse went over the budget. The output
  // lives as long as this memory (do not pass it to gumbo_destroy_output).
  GumboOutput* Parse(std::string_view text);

 private:
  struct alignas(std::max_align_t) Block {
    Block* previous;
    Block* next;
  };

  static void* Allocate(void* self, size_t size);
  static void Free(void* self, void* pointer);
  void FreeAll();

  bool OverTime();

  size_t budget_;
  double deadline_;  // thread CPU time at which the parse is abandoned
  size_t used_ = 0;
  size_t allocations_ = 0;
  Block* last_ = nullptr;
  std::jmp_buf escape_;
};

// The budget of a page's parse: far more than any real page needs (gumbo
// asks for about ten times a page's size), far less than a page that makes
// the parser build the same elements again and again.
size_t ParseBudgetFor(size_t pageSize);
// How much slower a build with a memory or thread checker runs.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr double kCheckedBuildSlowdown = 4;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr double kCheckedBuildSlowdown = 4;
#else
constexpr double kCheckedBuildSlowdown = 1;
#endif
#else
constexpr double kCheckedBuildSlowdown = 1;
#endif

// Far more than a real page's parse takes (a 2 MB page about 0.1 s); a page
// whose parse runs longer is built against the parser.
constexpr double kParseCpuSeconds = 0.5 * kCheckedBuildSlowdown;

}  // namespace wrenly
