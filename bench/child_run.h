// One run of a program as a child process, with its output thrown away:
// the wall time from spawn to exit and the resources it used. Shared by the
// benchmarks that time whole runs of the built programs.
#pragma once

#include <sys/resource.h>

#include <string>
#include <vector>

namespace bench {

struct ChildRun {
  bool ok = false;  // started and exited with status 0
  double ms = 0;    // wall time, spawn to exit
  rusage usage{};   // the child's and its own children's (wait4)
};

// Runs argv (argv[0] is the program's path) and waits for it.
ChildRun RunChild(std::vector<std::string> argv);

// Milliseconds of a rusage time.
double Ms(const timeval& time);

}  // namespace bench
