#include "launch/wine/host_memory_file.h"

#include "common/logger.h"
#include "common/random.h"
#include "launch/wine/wine_bridge.h"

namespace quarvel::launcher {
namespace {

constexpr std::uint64_t kHostMemfdFlags = 2 | 1;       // MFD_ALLOW_SEALING | MFD_CLOEXEC
constexpr std::uint64_t kHostAddSeals = 1033;          // F_ADD_SEALS
constexpr std::uint64_t kHostModuleSeals = 8 | 2 | 4;  // F_SEAL_WRITE | F_SEAL_SHRINK | F_SEAL_GROW
constexpr std::uint64_t kHostSeekSet = 0;              // SEEK_SET
constexpr std::int64_t kHostInterrupted = -4;          // -EINTR

std::uint64_t Address(const void* pointer) { return reinterpret_cast<std::uintptr_t>(pointer); }

}  // namespace

cHostMemoryFile::~cHostMemoryFile() {
  if (descriptor_ >= 0) CallHostSyscall(HostSyscall::Close, static_cast<std::uint64_t>(descriptor_));
}

bool cHostMemoryFile::Create(std::uint64_t size) {
  char name[37];
  GenerateGuidString(name, sizeof(name));
  const std::int64_t descriptor = CallHostSyscall(HostSyscall::MemfdCreate, Address(name), kHostMemfdFlags);
  if (descriptor < 0) {
    Log(LogLevel::Error, "memfd_create failed with %lld.", static_cast<long long>(descriptor));
    return false;
  }
  descriptor_ = descriptor;
  const std::int64_t sized = CallHostSyscall(HostSyscall::Ftruncate, static_cast<std::uint64_t>(descriptor_), size);
  if (sized != 0) {
    Log(LogLevel::Error, "Writing the module to memory failed with %lld.", static_cast<long long>(sized));
    return false;
  }
  return true;
}

bool cHostMemoryFile::SeekTo(std::uint64_t offset) {
  return CallHostSyscall(HostSyscall::Lseek, static_cast<std::uint64_t>(descriptor_), offset, kHostSeekSet) ==
         static_cast<std::int64_t>(offset);
}

bool cHostMemoryFile::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  std::int64_t result = SeekTo(offset) ? 0 : -1;
  for (std::size_t written = 0; result >= 0 && written < bytes.size();) {
    result = CallHostSyscall(HostSyscall::Write, static_cast<std::uint64_t>(descriptor_),
                             Address(bytes.data() + written), bytes.size() - written);
    if (result == kHostInterrupted) result = 0;
    else if (result == 0) result = -1;
    written += result > 0 ? static_cast<std::size_t>(result) : 0;
  }
  if (result < 0) {
    Log(LogLevel::Error, "Writing the module to memory failed with %lld.", static_cast<long long>(result));
    return false;
  }
  return true;
}

bool cHostMemoryFile::Seal() {
  // Sealed, so that nobody who opens the file through /proc changes the
  // pages of the module, between its check and its load or later.
  const std::int64_t sealed =
      CallHostSyscall(HostSyscall::Fcntl, static_cast<std::uint64_t>(descriptor_), kHostAddSeals, kHostModuleSeals);
  if (sealed != 0) {
    Log(LogLevel::Error, "Sealing the in-memory module failed with %lld.", static_cast<long long>(sealed));
    return false;
  }
  return true;
}

bool cHostMemoryFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) {
  std::int64_t result = SeekTo(offset) ? 0 : -1;
  for (std::size_t got = 0; result >= 0 && got < into.size();) {
    result = CallHostSyscall(HostSyscall::Read, static_cast<std::uint64_t>(descriptor_), Address(into.data() + got),
                             into.size() - got);
    if (result == kHostInterrupted) result = 0;
    else if (result == 0) result = -1;  // the file is shorter
    got += result > 0 ? static_cast<std::size_t>(result) : 0;
  }
  if (result < 0) {
    Log(LogLevel::Error, "Reading the module back from memory failed with %lld.", static_cast<long long>(result));
    return false;
  }
  return true;
}

std::int64_t cHostMemoryFile::Release() {
  const std::int64_t descriptor = descriptor_;
  descriptor_ = -1;
  return descriptor;
}

}  // namespace quarvel::launcher
