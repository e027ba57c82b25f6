#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <thread>
#include <utility>

#include "launch/process/process_handle.h"

#ifndef P_PIDFD
#define P_PIDFD 3
#endif

namespace quarvel::launcher {
namespace {

using Clock = std::chrono::steady_clock;

int OpenPidfd(int pid) {
#ifdef SYS_pidfd_open
  // pidfd_open always sets close-on-exec.
  return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
  errno = ENOSYS;
  return -1;
#endif
}

// waitid without reaping, so that every handle to the process (and the
// process id) stays usable. The zombie goes when this process ends.
bool PeekExit(int pidfd, int pid, siginfo_t& info) {
  info = {};
  int result = -1;
  if (pidfd >= 0) {
    result = waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(pidfd), &info, WEXITED | WNOHANG | WNOWAIT);
    if (result != 0 && errno != EINVAL) return false;
  }
  if (result != 0) {
    result = waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
  }
  return result == 0 && info.si_pid != 0;
}

// Whether a process with only an id known has ended: a child that is a
// zombie, or an id that no longer names a process.
bool HasEndedById(int pid) {
  siginfo_t info{};
  if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0) return info.si_pid != 0;
  return kill(pid, 0) != 0 && errno == ESRCH;
}

}  // namespace

ProcessHandle::~ProcessHandle() { Close(); }

ProcessHandle::ProcessHandle(ProcessHandle&& other) noexcept
    : pidfd_(std::exchange(other.pidfd_, -1)), pid_(std::exchange(other.pid_, 0)) {}

ProcessHandle& ProcessHandle::operator=(ProcessHandle&& other) noexcept {
  if (this != &other) {
    Close();
    pidfd_ = std::exchange(other.pidfd_, -1);
    pid_ = std::exchange(other.pid_, 0);
  }
  return *this;
}

ProcessHandle ProcessHandle::Open(std::uint32_t processId) {
  ProcessHandle handle;
  const int pid = static_cast<int>(processId);
  if (pid <= 0) return handle;
  const int pidfd = OpenPidfd(pid);
  if (pidfd >= 0) {
    handle.pidfd_ = pidfd;
    handle.pid_ = pid;
    return handle;
  }
  if (errno != ENOSYS) return handle;
  // Without pidfds the id is all there is; it must at least name a process.
  if (kill(pid, 0) == 0 || errno == EPERM) handle.pid_ = pid;
  return handle;
}

bool ProcessHandle::IsValid() const { return pid_ > 0; }

ProcessHandle ProcessHandle::Duplicate() const {
  ProcessHandle copy;
  if (!IsValid()) return copy;
  if (pidfd_ >= 0) {
    const int pidfd = fcntl(pidfd_, F_DUPFD_CLOEXEC, 0);
    if (pidfd < 0) return copy;
    copy.pidfd_ = pidfd;
  }
  copy.pid_ = pid_;
  return copy;
}

void ProcessHandle::Close() {
  if (pidfd_ >= 0) close(pidfd_);
  pidfd_ = -1;
  pid_ = 0;
}

const void* ProcessHandle::NativeForLog() const {
  if (!IsValid()) return nullptr;
  return reinterpret_cast<const void*>(static_cast<std::intptr_t>(pidfd_ >= 0 ? pidfd_ : pid_));
}

bool ProcessHandle::WaitForExit(std::optional<std::chrono::milliseconds> timeout) const {
  if (!IsValid()) return false;
  const std::optional<Clock::time_point> deadline =
      timeout ? std::optional(Clock::now() + *timeout) : std::nullopt;
  for (;;) {
    int waitMs = -1;
    if (deadline) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
      waitMs = left > 0 ? static_cast<int>(left) : 0;
    }
    if (pidfd_ >= 0) {
      // A pidfd becomes readable when its process ends.
      pollfd entry{pidfd_, POLLIN, 0};
      const int ready = poll(&entry, 1, waitMs);
      if (ready > 0) return true;
      if (ready < 0 && errno != EINTR) return false;
    } else {
      if (HasEndedById(pid_)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(waitMs < 0 || waitMs > 10 ? 10 : waitMs));
    }
    if (deadline && Clock::now() >= *deadline) return pidfd_ < 0 && HasEndedById(pid_);
  }
}

bool ProcessHandle::GetExitCode(std::uint32_t& code) const {
  if (!IsValid()) return false;
  siginfo_t info{};
  if (!PeekExit(pidfd_, pid_, info)) return false;
  switch (info.si_code) {
    case CLD_EXITED:
      code = static_cast<std::uint32_t>(info.si_status);
      return true;
    case CLD_KILLED:
    case CLD_DUMPED:
      code = 128u + static_cast<std::uint32_t>(info.si_status);
      return true;
    default:
      return false;
  }
}

}  // namespace quarvel::launcher
