#include "fetcher/syscall_filter.h"

#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sched.h>
#include <stddef.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <vector>

#include "fetcher/sandbox.h"

namespace wrenly {
namespace {

#if defined(__x86_64__)
constexpr std::uint32_t kArchitecture = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr std::uint32_t kArchitecture = AUDIT_ARCH_AARCH64;
#else
constexpr std::uint32_t kArchitecture = 0;
#endif

constexpr std::uint32_t kAllow = SECCOMP_RET_ALLOW;
constexpr std::uint32_t Refuse(int error) { return SECCOMP_RET_ERRNO | (static_cast<std::uint32_t>(error) & 0xffff); }

// System calls refused outright (EPERM). Names a kernel does not have on an
// architecture are simply absent.
constexpr long kRefused[] = {
#ifdef __NR_fork
    __NR_fork,
#endif
#ifdef __NR_vfork
    __NR_vfork,
#endif
    __NR_execve, __NR_execveat,
#ifndef WRENLY_SANITIZED_BUILD
    __NR_ptrace,
#endif
    __NR_process_vm_readv, __NR_process_vm_writev, __NR_kcmp, __NR_pidfd_getfd,
    __NR_mount, __NR_umount2, __NR_pivot_root, __NR_chroot, __NR_move_mount, __NR_open_tree, __NR_fsopen,
    __NR_fsconfig, __NR_fsmount, __NR_fspick, __NR_mount_setattr, __NR_unshare, __NR_setns,
    __NR_init_module, __NR_finit_module, __NR_delete_module, __NR_kexec_load, __NR_kexec_file_load,
    __NR_reboot, __NR_swapon, __NR_swapoff, __NR_acct, __NR_quotactl, __NR_syslog, __NR_vhangup,
    __NR_bpf, __NR_keyctl, __NR_add_key, __NR_request_key, __NR_perf_event_open, __NR_userfaultfd,
    __NR_fanotify_init, __NR_name_to_handle_at, __NR_open_by_handle_at,
    __NR_io_uring_setup, __NR_io_uring_enter, __NR_io_uring_register,
    __NR_settimeofday, __NR_clock_settime, __NR_adjtimex, __NR_clock_adjtime, __NR_sethostname,
    __NR_setdomainname,
#ifdef __NR_iopl
    __NR_iopl, __NR_ioperm,
#endif
#ifdef __NR_uselib
    __NR_uselib,
#endif
};

// Builds a program whose jumps go forward to named places.
class Program {
 public:
  void Load(std::uint32_t offset) { code_.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offset)); }
  void And(std::uint32_t mask) { code_.push_back(BPF_STMT(BPF_ALU | BPF_AND | BPF_K, mask)); }
  void Return(std::uint32_t action) { code_.push_back(BPF_STMT(BPF_RET | BPF_K, action)); }
  // if (A == value) return action.
  void ReturnIf(std::uint32_t value, std::uint32_t action) {
    code_.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, value, 0, 1));
    Return(action);
  }
  // if (A & bits) return action.
  void ReturnIfAny(std::uint32_t bits, std::uint32_t action) {
    code_.push_back(BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, bits, 0, 1));
    Return(action);
  }
  // if (A != value) skip to the matching EndSkip.
  void SkipUnless(std::uint32_t value) {
    skips_.push_back(code_.size());
    code_.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, value, 0, 0));
  }
  void EndSkip() {
    const std::size_t at = skips_.back();
    skips_.pop_back();
    code_[at].jf = static_cast<std::uint8_t>(code_.size() - at - 1);
  }
  std::vector<sock_filter>& code() { return code_; }

 private:
  std::vector<sock_filter> code_;
  std::vector<std::size_t> skips_;
};

constexpr std::uint32_t kNumber = offsetof(seccomp_data, nr);
constexpr std::uint32_t kArch = offsetof(seccomp_data, arch);
// The low 32 bits of an argument (little-endian).
constexpr std::uint32_t Argument(int i) { return offsetof(seccomp_data, args) + 8 * static_cast<std::uint32_t>(i); }

// clone: threads only (and, in sanitizer builds, the leak checker's helper,
// which shares the memory and, without execve, can do no more than a thread).
void AddClone(Program& p) {
  p.SkipUnless(__NR_clone);
  p.Load(Argument(0));
  p.ReturnIfAny(CLONE_THREAD, kAllow);
  if (kSanitizedBuild) p.ReturnIf(CLONE_VM | CLONE_FS | CLONE_FILES | CLONE_UNTRACED, kAllow);
  p.Return(Refuse(EPERM));
  p.EndSkip();
}

// socket: local, netlink route (the connection backend), and IP sockets
// other than raw ones; socketpair: local only.
void AddSockets(Program& p) {
  p.SkipUnless(__NR_socket);
  p.Load(Argument(0));
  p.ReturnIf(AF_UNIX, kAllow);
  p.SkipUnless(AF_NETLINK);
  p.Load(Argument(2));
  p.ReturnIf(0 /* NETLINK_ROUTE */, kAllow);
  p.Return(Refuse(EPERM));
  p.EndSkip();
  for (std::uint32_t family : {AF_INET, AF_INET6}) {
    p.SkipUnless(family);
    p.Load(Argument(1));
    p.And(0xf);  // the type without SOCK_NONBLOCK and SOCK_CLOEXEC
    p.ReturnIf(SOCK_RAW, Refuse(EPERM));
    p.Return(kAllow);
    p.EndSkip();
  }
  p.Return(Refuse(EAFNOSUPPORT));
  p.EndSkip();
  p.SkipUnless(__NR_socketpair);
  p.Load(Argument(0));
  p.ReturnIf(AF_UNIX, kAllow);
  p.Return(Refuse(EAFNOSUPPORT));
  p.EndSkip();
}

std::vector<sock_filter> BuildFilter() {
  Program p;
  p.Load(kArch);
  p.code().push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kArchitecture, 1, 0));
  p.Return(SECCOMP_RET_KILL_PROCESS);
  p.Load(kNumber);
#if defined(__x86_64__)
  // The x32 ABI shares the architecture value; its numbers carry this bit.
  p.code().push_back(BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, 0x40000000u, 0, 1));
  p.Return(SECCOMP_RET_KILL_PROCESS);
#endif
  for (long number : kRefused) p.ReturnIf(static_cast<std::uint32_t>(number), Refuse(EPERM));
  p.ReturnIf(__NR_clone3, Refuse(ENOSYS));
  AddClone(p);
  AddSockets(p);
  // Pushing input into a terminal would reach whatever reads it.
  p.SkipUnless(__NR_ioctl);
  p.Load(Argument(1));
  p.ReturnIf(TIOCSTI, Refuse(EPERM));
  p.Return(kAllow);
  p.EndSkip();
  p.Return(kAllow);
  return std::move(p.code());
}

}  // namespace

bool InstallSyscallFilter() {
  if (kArchitecture == 0) return false;
  std::vector<sock_filter> code = BuildFilter();
  sock_fprog program{static_cast<unsigned short>(code.size()), code.data()};
  if (::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, SECCOMP_FILTER_FLAG_TSYNC, &program) == 0) return true;
  return ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

}  // namespace wrenly
