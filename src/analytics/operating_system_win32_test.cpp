#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "analytics/operating_system.h"

namespace quarvel::Analytics {
namespace {

using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);

// What ntdll reports, which no manifest shims; Wine answers with the version
// its prefix emulates.
TEST(WindowsVersionText, MatchesTheVersionNtdllReports) {
  const auto getVersion = reinterpret_cast<RtlGetVersionFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  ASSERT_NE(getVersion, nullptr);
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  ASSERT_EQ(getVersion(&info), 0);

  const std::string expected = std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) +
                               " 64-bit (Build " + std::to_string(info.dwBuildNumber & 0xFFFF) + ")";
  EXPECT_EQ(WindowsVersionText(), expected);
  EXPECT_TRUE(std::regex_match(WindowsVersionText(), std::regex("[0-9]+\\.[0-9]+ 64-bit \\(Build [0-9]+\\)")));
}

}  // namespace
}  // namespace quarvel::Analytics
