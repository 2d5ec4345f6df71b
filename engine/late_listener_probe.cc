// Test child for the fetcher process runner: like Tolvane, it takes up
// SIGUSR1 with sigwait only after a start-up delay. Writes "aborted" to the
// file named by its argument when the signal arrives; a signal sent during
// the delay kills it unless the runner started it with SIGUSR1 blocked.
#include <signal.h>
#include <time.h>

#include <cstdio>

int main(int argc, char* argv[]) {
  if (argc < 2) return 1;
  const timespec delay{0, 300'000'000};
  nanosleep(&delay, nullptr);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGUSR1);
  sigprocmask(SIG_BLOCK, &set, nullptr);
  const timespec limit{5, 0};
  if (sigtimedwait(&set, nullptr, &limit) != SIGUSR1) return 3;
  if (FILE* f = std::fopen(argv[1], "w")) {
    std::fputs("aborted\n", f);
    std::fclose(f);
  }
  return 0;
}
