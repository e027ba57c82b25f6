#include "launch/delivery/module_cache_files.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "common/text_encoding.h"

namespace quarvel::launcher {
namespace {

std::uint64_t Ticks(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

constexpr std::size_t kReadPiece = 64 * 1024;

}  // namespace

bool GetFileAgeMilliseconds(const std::string& path, std::uint64_t& age) {
  HANDLE file = CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  FILETIME written{};
  const bool read = GetFileTime(file, nullptr, nullptr, &written) != FALSE;
  CloseHandle(file);
  if (!read) return false;
  // The current time at the precision of file times: a time cut to whole
  // milliseconds can lie just before a write that happened a moment ago.
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  age = (Ticks(now) - Ticks(written)) / 10000;
  return true;
}

bool ReadFileInPieces(const std::string& path, const FilePieceHandler& take) {
  HANDLE file = CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::vector<std::uint8_t> piece(kReadPiece);
  bool read = true;
  while (read) {
    DWORD got = 0;
    if (!ReadFile(file, piece.data(), static_cast<DWORD>(piece.size()), &got, nullptr)) {
      read = false;
    } else if (got == 0) {
      break;
    } else {
      read = take(std::span(piece).first(got));
    }
  }
  CloseHandle(file);
  return read;
}

bool DeleteFileUtf8(const std::string& path) { return DeleteFileW(Utf8ToWide(path).c_str()) != FALSE; }

bool WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes) {
  HANDLE file = CreateFileW(Utf8ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 0x40000000));
    DWORD wrote = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &wrote, nullptr) || wrote == 0) break;
    done += wrote;
  }
  const bool closed = CloseHandle(file) != FALSE;
  return closed && done == bytes.size();
}

}  // namespace quarvel::launcher
