#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

// The file operations of the module cache that the platform helpers do not
// cover. Paths are UTF-8.
namespace quarvel::launcher {

// The whole file; an empty file gives no bytes and true. False when the file
// cannot be read or is 4 GiB or larger.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes);

// Hands the file's bytes to `take` a piece at a time, in order, without ever
// holding the whole file (a module may be hundreds of MiB). False when the
// file cannot be opened or read, or when `take` answers false.
using FilePieceHandler = std::function<bool(std::span<const std::uint8_t> piece)>;
bool ReadFileInPieces(const std::string& path, const FilePieceHandler& take);

// Milliseconds from the file's last write to now (UTC), computed unsigned: a
// write time in the future gives a huge age. False when the file cannot be
// opened or a time cannot be read.
bool GetFileAgeMilliseconds(const std::string& path, std::uint64_t& age);

// False when the file could not be removed (a missing file included).
bool DeleteFileUtf8(const std::string& path);

// Creates the file anew, without sharing it while writing, and writes
// `bytes`. True only when the file was created and every byte written.
bool WriteWholeFile(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace quarvel::launcher
