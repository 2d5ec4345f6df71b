#include "fetcher/parse_memory.h"

#include <time.h>

#include <cstdlib>

namespace wrenly {
namespace {

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The clock is read at every this many requests: a system call, and gumbo
// asks at every tag.
constexpr size_t kRequestsPerClockRead = 256;

}  // namespace

ParseMemory::ParseMemory(size_t budget, double cpuSeconds)
    : budget_(budget), deadline_(ThreadCpuSeconds() + cpuSeconds) {}

bool ParseMemory::OverTime() {
  return ++allocations_ % kRequestsPerClockRead == 0 && ThreadCpuSeconds() > deadline_;
}

GumboOptions ParseMemory::Options() {
  GumboOptions options = kGumboDefaultOptions;
  options.allocator = &ParseMemory::Allocate;
  options.deallocator = &ParseMemory::Free;
  options.userdata = this;
  options.max_errors = 0;  // parse errors are of no use here; keeping them costs time
  return options;
}

// Gumbo is C: leaving it with longjmp skips no destructor, and every block
// it holds is in the list.
GumboOutput* ParseMemory::Parse(std::string_view text) {
  const GumboOptions options = Options();
  if (setjmp(escape_) != 0) {
    FreeAll();
    return nullptr;
  }
  return gumbo_parse_with_options(&options, text.data(), text.size());
}

void* ParseMemory::Allocate(void* self, size_t size) {
  auto* memory = static_cast<ParseMemory*>(self);
  memory->used_ += size;
  if (memory->used_ > memory->budget_ || memory->OverTime()) std::longjmp(memory->escape_, 1);
  auto* block = static_cast<Block*>(std::malloc(sizeof(Block) + size));
  if (block == nullptr) std::longjmp(memory->escape_, 1);
  block->previous = memory->last_;
  block->next = nullptr;
  if (memory->last_ != nullptr) memory->last_->next = block;
  memory->last_ = block;
  return block + 1;
}

void ParseMemory::Free(void* self, void* pointer) {
  if (pointer == nullptr) return;
  auto* memory = static_cast<ParseMemory*>(self);
  Block* block = static_cast<Block*>(pointer) - 1;
  if (block->next != nullptr) block->next->previous = block->previous;
  else memory->last_ = block->previous;
  if (block->previous != nullptr) block->previous->next = block->next;
  std::free(block);
}

void ParseMemory::FreeAll() {
  while (last_ != nullptr) {
    Block* previous = last_->previous;
    std::free(last_);
    last_ = previous;
  }
}

size_t ParseBudgetFor(size_t pageSize) { return 64 * pageSize + (16u << 20); }

}  // namespace wrenly
