#include <windows.h>

#include <utility>

#include "launch/process/process_handle.h"

namespace quarvel::launcher {

ProcessHandle::~ProcessHandle() { Close(); }

ProcessHandle::ProcessHandle(ProcessHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

ProcessHandle& ProcessHandle::operator=(ProcessHandle&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

ProcessHandle ProcessHandle::Open(std::uint32_t processId) {
  ProcessHandle handle;
  if (processId == 0) return handle;
  handle.handle_ =
      OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, processId);
  return handle;
}

bool ProcessHandle::IsValid() const { return handle_ != nullptr; }

ProcessHandle ProcessHandle::Duplicate() const {
  ProcessHandle copy;
  if (!IsValid()) return copy;
  HANDLE duplicate = nullptr;
  if (DuplicateHandle(GetCurrentProcess(), handle_, GetCurrentProcess(), &duplicate, 0, FALSE,
                      DUPLICATE_SAME_ACCESS)) {
    copy.handle_ = duplicate;
  }
  return copy;
}

void ProcessHandle::Close() {
  if (handle_ != nullptr) CloseHandle(handle_);
  handle_ = nullptr;
}

const void* ProcessHandle::NativeForLog() const { return handle_; }

bool ProcessHandle::WaitForExit(std::optional<std::chrono::milliseconds> timeout) const {
  if (!IsValid()) return false;
  DWORD waitMs = INFINITE;
  if (timeout) {
    const auto count = timeout->count();
    // INFINITE itself is not a finite wait.
    waitMs = count <= 0 ? 0 : count >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(count);
  }
  return WaitForSingleObject(handle_, waitMs) == WAIT_OBJECT_0;
}

bool ProcessHandle::GetExitCode(std::uint32_t& code) const {
  if (!IsValid()) return false;
  // A running process reports STILL_ACTIVE, which a process may also exit
  // with: only an ended process has a code.
  if (WaitForSingleObject(handle_, 0) != WAIT_OBJECT_0) return false;
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(handle_, &exitCode)) return false;
  code = exitCode;
  return true;
}

}  // namespace quarvel::launcher
