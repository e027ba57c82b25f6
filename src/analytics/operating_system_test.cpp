#include "analytics/operating_system.h"

#include <gtest/gtest.h>

#include "common/platform.h"

namespace quarvel::Analytics {
namespace {

TEST(OperatingSystem, NamesTheSystemTheProgramRunsOn) {
  const OperatingSystem system = DescribeOperatingSystem();
#ifdef _WIN32
  if (IsRunningUnderWine()) {
    EXPECT_EQ(system.name, "Wine");
    EXPECT_EQ(system.version, GetWineVersion());
    EXPECT_NE(system.version, "");
  } else {
    EXPECT_EQ(system.name, "Windows");
    EXPECT_EQ(system.version, WindowsVersionText());
  }
#else
  EXPECT_EQ(system.name, "Linux");
  EXPECT_GT(system.version.size(), std::string(" 64-bit").size()) << system.version;
  EXPECT_TRUE(system.version.ends_with(" 64-bit")) << system.version;
#endif
}

}  // namespace
}  // namespace quarvel::Analytics
