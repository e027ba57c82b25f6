#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/logger.h"
#include "common/random.h"
#include "launch/memory_module_file.h"

namespace quarvel::launcher {

cMemoryModuleFile::~cMemoryModuleFile() {
  if (descriptor_ >= 0) close(descriptor_);
}

bool cMemoryModuleFile::Create(std::uint64_t size) {
  char name[37];
  GenerateGuidString(name, sizeof(name));
  descriptor_ = memfd_create(name, MFD_ALLOW_SEALING | MFD_CLOEXEC);
  if (descriptor_ < 0) {
    Log(LogLevel::Error, "memfd_create failed: %s.", std::strerror(errno));
    return false;
  }
  if (ftruncate(descriptor_, static_cast<off_t>(size)) != 0) {
    Log(LogLevel::Error, "Writing the module to memory failed: %s.", std::strerror(errno));
    return false;
  }
  return true;
}

bool cMemoryModuleFile::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  const std::uint8_t* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t written = pwrite(descriptor_, data, left, static_cast<off_t>(offset));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      Log(LogLevel::Error, "Writing the module to memory failed: %s.",
          written < 0 ? std::strerror(errno) : "nothing was written");
      return false;
    }
    data += written;
    left -= static_cast<std::size_t>(written);
    offset += static_cast<std::uint64_t>(written);
  }
  return true;
}

bool cMemoryModuleFile::Seal() {
  // Sealed, so that nobody who opens the file through /proc changes the
  // pages of the module, between its check and its load or later.
  if (fcntl(descriptor_, F_ADD_SEALS, F_SEAL_WRITE | F_SEAL_SHRINK | F_SEAL_GROW) != 0) {
    Log(LogLevel::Error, "Sealing the in-memory module failed: %s.", std::strerror(errno));
    return false;
  }
  return true;
}

bool cMemoryModuleFile::ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) {
  std::uint8_t* data = into.data();
  std::size_t left = into.size();
  while (left > 0) {
    const ssize_t got = pread(descriptor_, data, left, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      Log(LogLevel::Error, "Reading the module back from memory failed: %s.",
          got < 0 ? std::strerror(errno) : "the file is shorter");
      return false;
    }
    data += got;
    left -= static_cast<std::size_t>(got);
    offset += static_cast<std::uint64_t>(got);
  }
  return true;
}

int cMemoryModuleFile::Release() {
  const int descriptor = descriptor_;
  descriptor_ = -1;
  return descriptor;
}

}  // namespace quarvel::launcher
