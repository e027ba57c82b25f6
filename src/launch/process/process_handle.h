#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace quarvel::launcher {

// An owned reference to a process, closed when it goes away. On Windows it is
// a process handle; on Linux a pidfd, or only the process id where the kernel
// has no pidfd_open. Any thread may use a handle it owns.
class ProcessHandle {
 public:
  ProcessHandle() = default;
  ~ProcessHandle();
  ProcessHandle(ProcessHandle&& other) noexcept;
  ProcessHandle& operator=(ProcessHandle&& other) noexcept;
  ProcessHandle(const ProcessHandle&) = delete;
  ProcessHandle& operator=(const ProcessHandle&) = delete;

  // Opens process `processId` for waiting, reading its exit code and ending
  // it; not inherited by child processes. Empty when it cannot be opened.
  static ProcessHandle Open(std::uint32_t processId);

  bool IsValid() const;
  explicit operator bool() const { return IsValid(); }

  // A second, independent handle to the same process with the same access;
  // empty when this one is empty or duplication fails.
  ProcessHandle Duplicate() const;

  void Close();

  // True once the process has ended; waits at most `timeout` (no limit when
  // empty). False at once for an empty handle.
  bool WaitForExit(std::optional<std::chrono::milliseconds> timeout) const;

  // The exit code of an ended process. False while it runs or when the code
  // cannot be read; on Linux only a child of this process has a readable code,
  // and one ended by a signal reads as 128 + the signal number.
  bool GetExitCode(std::uint32_t& code) const;

  // The native value for a "%p" in a log line: the Windows handle, else the
  // pidfd, or the process id where there is none; null for an empty handle.
  const void* NativeForLog() const;

 private:
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int pidfd_ = -1;
  int pid_ = 0;
#endif
};

}  // namespace quarvel::launcher
