// What an operation of the reader's data came to: done, or refused with the
// reason and a message that says what failed (in English; a front end shows
// it as it is or picks its own text by the reason). Operations never throw.
#pragma once

#include <string>
#include <utility>

namespace wrenly::reader {

enum class Refusal {
  kNone,
  kUnreadableCatalog,  // the catalog exists but cannot be read; nothing was changed
  kNotFound,           // no such channel, category or item
  kExists,             // the title or category is already there
  kDuplicateAddress,   // the feed address is already subscribed
  kInvalid,            // the request itself cannot be carried out
  kFile,               // a file could not be read or written
};

struct Result {
  Refusal refusal = Refusal::kNone;
  // Why it was refused; for a done operation, a later step that failed
  // without undoing it (such as counts that could not be saved), else empty.
  std::string message;

  bool done() const { return refusal == Refusal::kNone; }
  static Result Done(std::string note = {}) { return {Refusal::kNone, std::move(note)}; }
  static Result Refused(Refusal why, std::string message) { return {why, std::move(message)}; }
};

// A result that carries a value when done.
template <typename T>
struct ValueResult {
  Result result;
  T value{};

  bool done() const { return result.done(); }
};

}  // namespace wrenly::reader
