#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The Windows build's bridge to the Linux host under Wine: raw host system
// calls through the helper buffer's stub, the host C library's dlopen and
// dlsym found in memory and called with the host's calling convention, and
// Wine's own path and process-id translations. Windows builds only; every
// call fails harmlessly outside Wine.
namespace quarvel::launcher {

// x86-64 Linux system-call numbers.
enum class HostSyscall : std::int64_t {
  Read = 0,
  Write = 1,
  Open = 2,
  Close = 3,
  Fstat = 5,
  Lseek = 8,
  GetPid = 39,
  Fcntl = 72,
  Ftruncate = 77,
  Unlink = 87,
  GetEuid = 107,
  MemfdCreate = 319,
};

// The host kernel's result (a negative errno on failure); -1 without the
// helper buffer.
std::int64_t CallHostSyscall(HostSyscall number, std::uint64_t argument1 = 0, std::uint64_t argument2 = 0,
                             std::uint64_t argument3 = 0);

// Calls the host function `function` with the System V convention and up to
// three integer or pointer arguments; returns its rax.
std::uint64_t CallNative(const void* function, std::uint64_t argument1 = 0, std::uint64_t argument2 = 0,
                         std::uint64_t argument3 = 0);

// A host file read through system calls, 4096 bytes at a time, until its end
// or until at least `limit` bytes came; empty when it cannot be opened.
std::vector<std::uint8_t> ReadNativeFile(const char* path, std::size_t limit);

// Like ReadNativeFile, but only from a regular file owned by this user: a
// symlink, a FIFO (which would block a read), a device or another user's file
// reads as empty.
std::vector<std::uint8_t> ReadOwnNativeFile(const char* path, std::size_t limit);

// A function of the host C library, looked up by name in the library's
// memory; null when the library or the name is not found.
const void* FindHostFunction(const char* name);

// The host C library's dlopen and dlsym ("__libc_dlopen_mode" and
// "__libc_dlsym" where the library still exports them), found once per
// process from the process's memory map; null when not found.
const void* HostDlopen();
const void* HostDlsym();

// Loads a host shared library from `image` through a sealed in-memory file
// (see cHostMemoryFile); null on failure. The file stays open while the
// library is loaded, that is for the rest of the process. Checks no
// signature: a loader writes and checks the file itself and then calls
// OpenNativeLibrary.
void* LoadNativeModule(std::span<const std::uint8_t> image);
// The host dlopen of the library in the host file `descriptor`, through its
// /proc/self/fd path; null (logged) when the host's loader refuses it. On
// success the descriptor must stay open for as long as the library is
// loaded: the loader knows the library by that path.
void* OpenNativeLibrary(std::int64_t descriptor);
// The host dlopen of the host library `name` (looked for where the host's
// loader looks); null when the host has none by that name.
void* OpenHostLibrary(const char* name);
// The host dlsym of `name` in the library; null when it is missing.
const void* ResolveNativeSymbol(void* handle, const char* name);

// The Windows process id of host process `hostProcessId`, from the file
// "/tmp/qvl_wine_pid_<id in upper-case hex>" that the module writes: four
// bytes, little-endian. Only a regular file of this user is read, and only
// that one is removed once read; anything else under the name counts as no
// file. Tries again at once until `limitMs` have passed; 0 then, or at once
// for an id <= 0.
std::uint32_t TranslateWinePid(std::int32_t hostProcessId, std::uint32_t limitMs);

// The host path of a Windows path (UTF-8 both); empty when Wine cannot tell.
std::string GetUnixFileName(const std::string& windowsPath);

}  // namespace quarvel::launcher
