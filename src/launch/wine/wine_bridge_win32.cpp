#include <windows.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>

#include "common/logger.h"
#include "common/text_encoding.h"
#include "launch/image/elf_symbols.h"
#include "launch/wine/host_file_status.h"
#include "launch/wine/host_maps.h"
#include "launch/wine/host_memory_file.h"
#include "launch/wine/wine_bridge.h"
#include "launch/wine/wine_helper_buffer.h"

namespace quarvel::launcher {
namespace {

constexpr std::uint64_t kHostReadOnly = 0;      // O_RDONLY
// O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC
constexpr std::uint64_t kHostReadOwnFile = 0x800 | 0x20000 | 0x80000;
constexpr std::uint64_t kHostLazyBinding = 1;   // RTLD_LAZY
constexpr std::size_t kReadChunk = 4096;
constexpr std::size_t kMapsLimit = 5242880;

using SyscallStub = std::int64_t (*)(std::int64_t, std::uint64_t, std::uint64_t, std::uint64_t);
typedef std::uint64_t(__attribute__((sysv_abi)) * NativeFunction)(std::uint64_t, std::uint64_t, std::uint64_t);
using WineGetUnixFileName = char*(__cdecl*)(const wchar_t*);

std::uint64_t Address(const void* pointer) { return reinterpret_cast<std::uintptr_t>(pointer); }

// The loaded host C library, from the load address to its last mapping.
std::span<const std::uint8_t> HostLibc() {
  static const std::span<const std::uint8_t> image = [] {
    const std::int64_t processId = CallHostSyscall(HostSyscall::GetPid);
    if (processId <= 0) return std::span<const std::uint8_t>();
    char path[64];
    std::snprintf(path, sizeof(path), "/proc/%i/maps", static_cast<int>(processId));
    const std::vector<std::uint8_t> maps = ReadNativeFile(path, kMapsLimit);
    const std::optional<HostLibraryRange> range =
        FindHostLibc(std::string_view(reinterpret_cast<const char*>(maps.data()), maps.size()));
    if (!range) {
      Log(LogLevel::Error, "The host C library was not found in '%s'.", path);
      return std::span<const std::uint8_t>();
    }
    return std::span(reinterpret_cast<const std::uint8_t*>(range->base), range->end - range->base);
  }();
  return image;
}

const void* FindPreferredHostFunction(const char* preferred, const char* fallback) {
  if (const void* function = FindHostFunction(preferred)) return function;
  const void* function = FindHostFunction(fallback);
  if (function == nullptr) Log(LogLevel::Error, "The host C library has no '%s'.", fallback);
  return function;
}

// What the host's dynamic loader last said went wrong.
std::string HostLoaderError() {
  static const void* dlerror = FindHostFunction("dlerror");
  if (dlerror == nullptr) return "unknown";
  const auto* text = reinterpret_cast<const char*>(CallNative(dlerror));
  return text != nullptr ? text : "unknown";
}

}  // namespace

std::int64_t CallHostSyscall(HostSyscall number, std::uint64_t argument1, std::uint64_t argument2,
                             std::uint64_t argument3) {
  void* stub = GetWineHelperBuffer();
  if (stub == nullptr) return -1;
  return reinterpret_cast<SyscallStub>(stub)(static_cast<std::int64_t>(number), argument1, argument2, argument3);
}

std::uint64_t CallNative(const void* function, std::uint64_t argument1, std::uint64_t argument2,
                         std::uint64_t argument3) {
  return reinterpret_cast<NativeFunction>(const_cast<void*>(function))(argument1, argument2, argument3);
}

const void* FindHostFunction(const char* name) {
  const std::span<const std::uint8_t> libc = HostLibc();
  if (libc.empty() || name == nullptr) return nullptr;
  return FindElfSymbol(libc, name);
}

namespace {

std::vector<std::uint8_t> ReadOpenedFile(std::int64_t descriptor, std::size_t limit) {
  std::vector<std::uint8_t> bytes;
  std::size_t size = 0;
  while (size < limit) {
    bytes.resize(size + kReadChunk);
    const std::int64_t read = CallHostSyscall(HostSyscall::Read, static_cast<std::uint64_t>(descriptor),
                                              Address(bytes.data() + size), kReadChunk);
    if (read <= 0) break;
    size += static_cast<std::size_t>(read);
  }
  CallHostSyscall(HostSyscall::Close, static_cast<std::uint64_t>(descriptor));
  bytes.resize(size);
  return bytes;
}

}  // namespace

std::vector<std::uint8_t> ReadNativeFile(const char* path, std::size_t limit) {
  const std::int64_t descriptor = CallHostSyscall(HostSyscall::Open, Address(path), kHostReadOnly);
  if (descriptor < 0) return {};
  return ReadOpenedFile(descriptor, limit);
}

std::vector<std::uint8_t> ReadOwnNativeFile(const char* path, std::size_t limit) {
  // Not blocking: opening a FIFO would otherwise wait for a writer.
  const std::int64_t descriptor = CallHostSyscall(HostSyscall::Open, Address(path), kHostReadOwnFile);
  if (descriptor < 0) return {};
  HostStatBuffer status{};
  const std::int64_t owner = CallHostSyscall(HostSyscall::GetEuid);
  if (CallHostSyscall(HostSyscall::Fstat, static_cast<std::uint64_t>(descriptor), Address(status.data())) != 0 ||
      owner < 0 || !IsOwnRegularFile(status, static_cast<std::uint32_t>(owner))) {
    CallHostSyscall(HostSyscall::Close, static_cast<std::uint64_t>(descriptor));
    return {};
  }
  return ReadOpenedFile(descriptor, limit);
}

const void* HostDlopen() {
  static const void* function = FindPreferredHostFunction("__libc_dlopen_mode", "dlopen");
  return function;
}

const void* HostDlsym() {
  static const void* function = FindPreferredHostFunction("__libc_dlsym", "dlsym");
  return function;
}

void* LoadNativeModule(std::span<const std::uint8_t> image) {
  if (HostDlopen() == nullptr || image.empty()) return nullptr;
  cHostMemoryFile file;
  if (!file.Create(image.size()) || !file.WriteAt(0, image) || !file.Seal()) return nullptr;
  void* handle = OpenNativeLibrary(file.Descriptor());
  // Otherwise the descriptor stays open: the host's loader knows the library
  // by this path, and a new file under a reused number would be taken for it.
  if (handle != nullptr) file.Release();
  return handle;
}

void* OpenNativeLibrary(std::int64_t descriptor) {
  if (HostDlopen() == nullptr || descriptor < 0) return nullptr;
  char path[64];
  std::snprintf(path, sizeof(path), "/proc/self/fd/%i", static_cast<int>(descriptor));
  void* handle = OpenHostLibrary(path);
  if (handle == nullptr) Log(LogLevel::Error, "The host's dlopen refused the module: %s", HostLoaderError().c_str());
  return handle;
}

void* OpenHostLibrary(const char* name) {
  const void* dlopen = HostDlopen();
  if (dlopen == nullptr || name == nullptr) return nullptr;
  return reinterpret_cast<void*>(CallNative(dlopen, Address(name), kHostLazyBinding));
}

const void* ResolveNativeSymbol(void* handle, const char* name) {
  const void* dlsym = HostDlsym();
  if (dlsym == nullptr || handle == nullptr) return nullptr;
  return reinterpret_cast<const void*>(CallNative(dlsym, Address(handle), Address(name)));
}

std::uint32_t TranslateWinePid(std::int32_t hostProcessId, std::uint32_t limitMs) {
  if (hostProcessId <= 0) return 0;
  char path[64];
  std::snprintf(path, sizeof(path), "/tmp/qvl_wine_pid_%X", static_cast<unsigned>(hostProcessId));
  const auto start = std::chrono::steady_clock::now();
  while (true) {
    // The name lies in /tmp, where any local user may put something first.
    const std::vector<std::uint8_t> bytes = ReadOwnNativeFile(path, 4);
    if (bytes.size() == 4) {
      CallHostSyscall(HostSyscall::Unlink, Address(path));
      return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
             static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    }
    if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(limitMs)) return 0;
    std::this_thread::yield();
  }
}

std::string GetUnixFileName(const std::string& windowsPath) {
  static const auto function = reinterpret_cast<WineGetUnixFileName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (windowsPath.empty() || function == nullptr) return {};
  char* unixPath = function(Utf8ToWide(windowsPath).c_str());
  if (unixPath == nullptr) return {};
  std::string result = unixPath;
  HeapFree(GetProcessHeap(), 0, unixPath);
  return result;
}

}  // namespace quarvel::launcher
