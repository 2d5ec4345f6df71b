// A seccomp filter (classic BPF, no library) that refuses the system calls a
// fetcher never makes: new processes and programs, ptrace, mounts, kernel
// modules, raw and packet sockets, bpf, keys, io_uring and the like. Threads
// stay possible: clone with CLONE_THREAD passes, clone3 answers ENOSYS so
// glibc falls back to clone. Refused calls fail with EPERM; a call of
// another architecture's ABI ends the process (SIGSYS).
#pragma once

namespace wrenly {

// Installs the filter for the calling process (every thread); false when
// the kernel or the architecture (x86-64 and AArch64 only) has none.
// Needs no_new_privs set before.
bool InstallSyscallFilter();

}  // namespace wrenly
