// Fault injection for the file calls of platform/file_ops.h: every run of an
// operation fails one more of its calls, the way a full disk or a failing
// card would, so a test can check what each failure leaves behind.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/file_ops.h"

namespace testsupport {

// Fails the n-th file call (from 0) of any kind with `error`.
class FailNthFileCall : public wrenly::FileFaults {
 public:
  FailNthFileCall(int n, int error) : n_(n), error_(error) { wrenly::SetFileFaults(this); }
  ~FailNthFileCall() override { wrenly::SetFileFaults(nullptr); }
  FailNthFileCall(const FailNthFileCall&) = delete;
  FailNthFileCall& operator=(const FailNthFileCall&) = delete;

  int Before(wrenly::FileCall) override { return calls_++ == n_ ? error_ : 0; }
  bool fired() const { return calls_ > n_; }

 private:
  int n_, error_;
  int calls_ = 0;
};

// Runs `operation` (true: it reports success) once with each of its file
// calls failing in turn with `error`, after `prepare` has set up the state
// before it, and `check` judges each failure's result. A failure must be
// reported; the last run, in which no call failed, must succeed. Returns how
// many calls the operation makes.
inline int ForEachFailingFileCall(int error, const std::function<void()>& prepare,
                                  const std::function<bool()>& operation, const std::function<void(int call)>& check) {
  for (int call = 0;; ++call) {
    prepare();
    bool succeeded = false, fired = false;
    {
      FailNthFileCall faults(call, error);
      succeeded = operation();
      fired = faults.fired();
    }
    if (!fired) {
      EXPECT_TRUE(succeeded) << "the run without a failure";
      return call;
    }
    EXPECT_FALSE(succeeded) << "call " << call << " failed, reported as success";
    check(call);
  }
}

}  // namespace testsupport
