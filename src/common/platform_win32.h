#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Windows-only helpers for code that talks to Win32 directly. Only *_win32.cpp
// files include this header.
namespace quarvel {

// "\\?\" + the full path, so long paths work; the input unchanged when the
// full path cannot be computed; empty for a null path.
std::wstring ToExtendedLengthPath(const wchar_t* path);

// False for an empty name and for a missing or empty variable.
bool GetEnvironmentVariableUtf16(const std::wstring& name, std::wstring& out);

bool ReadFileBytes(const wchar_t* path, std::vector<std::uint8_t>& bytes, std::uint32_t limit);

}  // namespace quarvel
