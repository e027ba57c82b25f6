#include "common/platform_win32.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>

#include "common/platform.h"
#include "common/text_encoding.h"

namespace quarvel {

const char* const kPlatformName = "Windows";
const char kPathSeparator = '\\';

namespace {

// Closes a Win32 handle when it goes out of scope.
class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
  ~ScopedHandle() {
    if (valid()) CloseHandle(handle_);
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

bool IsDirectoryW(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

using WineGetVersion = const char*(__cdecl*)();

WineGetVersion FindWineGetVersion() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) return nullptr;
  return reinterpret_cast<WineGetVersion>(
      reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version")));
}

}  // namespace

bool GetExecutablePath(std::string& out) {
  out.clear();
  // A game may be installed deeper than MAX_PATH: the buffer grows until the
  // path fits (a full answer means it was cut), up to the longest path
  // Windows has.
  constexpr DWORD kLongestPath = 32768;
  std::wstring buffer(MAX_PATH, L'\0');
  while (true) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return false;
    if (length < buffer.size()) {
      buffer.resize(length);
      break;
    }
    if (buffer.size() >= kLongestPath) return false;
    buffer.resize(std::min<std::size_t>(buffer.size() * 2, kLongestPath));
  }
  out = WideToUtf8(buffer);
  return true;
}

std::wstring ToExtendedLengthPath(const wchar_t* path) {
  if (path == nullptr) return {};
  std::wstring full(32767, L'\0');
  const DWORD length = GetFullPathNameW(path, static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length == 0 || length >= full.size()) return path;
  full.resize(length);
  return L"\\\\?\\" + full;
}

bool PathExists(const char* path) {
  if (path == nullptr) return false;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(Utf8ToWide(path).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  return true;
}

bool DirectoryExists(const char* path) {
  return path != nullptr && IsDirectoryW(Utf8ToWide(path));
}

bool CreateDirectoryUtf8(const std::string& path) {
  return !path.empty() && CreateDirectoryW(Utf8ToWide(path).c_str(), nullptr) != FALSE;
}

std::int64_t GetFileSizeUtf8(const char* path) {
  if (path == nullptr) return 0;
  const std::wstring extended = ToExtendedLengthPath(Utf8ToWide(path).c_str());
  ScopedHandle file(CreateFileW(extended.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return -1;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size)) return -1;
  return size.QuadPart;
}

bool ReadFileBytes(const wchar_t* path, std::vector<std::uint8_t>& bytes, std::uint32_t limit) {
  bytes.clear();
  if (path == nullptr || limit == 0) return false;
  ScopedHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) return false;
  // One read of a 32-bit count: files of 4 GiB or more are not supported.
  const DWORD wanted = static_cast<std::uint64_t>(size.QuadPart) < limit
                           ? static_cast<DWORD>(size.QuadPart)
                           : static_cast<DWORD>(limit);
  bytes.resize(wanted);
  DWORD got = 0;
  if (wanted == 0 || !ReadFile(file.get(), bytes.data(), wanted, &got, nullptr) || got != wanted) {
    bytes.clear();
  }
  return !bytes.empty();
}

bool ReadFileBytes(const char* path, std::vector<std::uint8_t>& bytes, std::uint32_t limit) {
  bytes.clear();
  if (path == nullptr) return false;
  return ReadFileBytes(Utf8ToWide(path).c_str(), bytes, limit);
}

bool GetEnvironmentVariableUtf16(const std::wstring& name, std::wstring& out) {
  if (name.empty()) return false;
  std::wstring buffer(4096, L'\0');
  DWORD length = GetEnvironmentVariableW(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length > buffer.size()) {
    // The first call reported the size needed, terminator included.
    buffer.assign(length, L'\0');
    length = GetEnvironmentVariableW(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length >= buffer.size()) return false;
  }
  if (length == 0) return false;
  buffer.resize(length);
  out = buffer;
  return true;
}

bool GetEnvironmentVariableUtf8(const std::string& name, std::string& out) {
  if (name.empty()) return false;
  std::wstring value;
  if (!GetEnvironmentVariableUtf16(Utf8ToWide(name), value)) return false;
  out = WideToUtf8(value);
  return true;
}

void SetEnvironmentVariableUtf8(const std::string& name, const std::string& value) {
  SetEnvironmentVariableW(Utf8ToWide(name).c_str(), Utf8ToWide(value).c_str());
}

bool GetCacheRootDirectory(std::string& out) {
  out.clear();
  wchar_t folder[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                              folder))) {
    return false;
  }
  const std::wstring root = std::wstring(folder) + L"\\Quarvel\\";
  if (!IsDirectoryW(root) && !CreateDirectoryW(root.c_str(), nullptr)) return false;
  out = WideToUtf8(root);
  return true;
}

bool IsRunningUnderWine() {
  static const bool underWine = FindWineGetVersion() != nullptr;
  return underWine;
}

std::string GetWineVersion() {
  if (!IsRunningUnderWine()) return {};
  const WineGetVersion getVersion = FindWineGetVersion();
  const char* version = getVersion != nullptr ? getVersion() : nullptr;
  return version != nullptr ? version : "";
}

}  // namespace quarvel
