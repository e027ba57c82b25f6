#include "launch/delivery/module_cache_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <vector>

namespace quarvel::launcher {
namespace {

// 100-nanosecond ticks, the unit the age is computed in on every platform.
std::uint64_t Ticks(const timespec& time) {
  return static_cast<std::uint64_t>(time.tv_sec) * 10000000ull + static_cast<std::uint64_t>(time.tv_nsec) / 100;
}

constexpr std::size_t kReadPiece = 64 * 1024;

}  // namespace

bool GetFileAgeMilliseconds(const std::string& path, std::uint64_t& age) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  const bool statted = fstat(fd, &info) == 0;
  close(fd);
  if (!statted) return false;
  timespec now{};
  if (clock_gettime(CLOCK_REALTIME, &now) != 0) return false;
  age = (Ticks(now) - Ticks(info.st_mtim)) / 10000;
  return true;
}

bool ReadFileInPieces(const std::string& path, const FilePieceHandler& take) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::vector<std::uint8_t> piece(kReadPiece);
  bool read = true;
  while (read) {
    const ssize_t got = ::read(fd, piece.data(), piece.size());
    if (got < 0 && errno == EINTR) continue;
    if (got == 0) break;
    read = got > 0 && take(std::span(piece).first(static_cast<std::size_t>(got)));
  }
  close(fd);
  return read;
}

bool DeleteFileUtf8(const std::string& path) { return unlink(path.c_str()) == 0; }

bool WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) break;
    done += static_cast<std::size_t>(wrote);
  }
  const bool closed = close(fd) == 0;
  return closed && done == bytes.size();
}

}  // namespace quarvel::launcher
