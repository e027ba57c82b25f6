#pragma once

#include <cstdint>
#include <span>
#include <string>

// Which build of the anti-cheat module a game binary needs, named as the
// module CDN names systems.
namespace quarvel::launcher {

inline constexpr const char* kUnknownSystemName = "N/A";

enum class ImageKind {
  Unknown,
  Windows32,  // PE32, x86
  Windows64,  // PE32+ x86-64, or a managed image that runs as 64-bit
  Linux32,    // ELF32 x86 executable
  Linux64,    // ELF64 x86-64 executable
};

// "win64_wow64", "win64", "linux64_32", "linux64", "linux32" or "N/A" for the
// binary at `path` (UTF-8). A missing file, a directory or an unknown format
// is "N/A". Under Wine a Windows game is served the Linux-hosted builds.
std::string GetSystemName(const std::string& path);

const char* SystemNameOf(ImageKind kind, bool underWine);

// Classifies a binary by its leading bytes: PE by machine type, ELF by class
// and machine. No file access, so any bytes are safe to pass.
ImageKind ClassifyImage(std::span<const std::uint8_t> bytes);

// A managed (.NET) image whose CLR header flags are set and do not require
// 32 bits: it runs as a 64-bit process on a 64-bit system.
bool IsManaged64BitImage(std::span<const std::uint8_t> bytes);

// The platform's classification of `path`, given the file's leading bytes.
// Windows asks the system; elsewhere the bytes decide.
ImageKind QueryImageKind(const std::string& path, std::span<const std::uint8_t> leadingBytes);

}  // namespace quarvel::launcher
