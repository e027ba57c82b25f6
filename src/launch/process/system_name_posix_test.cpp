#include <gtest/gtest.h>

#include "common/testing/test_scratch_directory.h"
#include "launch/image/testing/test_images.h"
#include "launch/process/system_name.h"

namespace quarvel::launcher {
namespace {

using test_support::AsText;
using test_support::MakeElfImage;
using test_support::MakePeImage;

// Without a system service the file's own headers name the system.
TEST(SystemName, FilesAreNamedByTheirHeaders) {
  test_support::ScratchDirectory scratch;
  struct Case {
    const char* file;
    std::string bytes;
    const char* name;
  };
  const Case cases[] = {
      {"x64.exe", AsText(MakePeImage(test_support::kPeMachineAmd64, test_support::kPe32Plus)), "win64"},
      {"x86.exe", AsText(MakePeImage(test_support::kPeMachineI386, test_support::kPe32)), "win64_wow64"},
      {"game64", AsText(MakeElfImage(2, 3, 62)), "linux64"},
      {"game32", AsText(MakeElfImage(1, 2, 3)), "linux32"},
      {"garbage", std::string("\x7F" "ELX\x02\x01\x01", 7) + std::string(64, '\xAB'), "N/A"},
  };
  for (const Case& test : cases) {
    EXPECT_EQ(GetSystemName(scratch.Write(test.file, test.bytes)), test.name) << test.file;
  }
}

}  // namespace
}  // namespace quarvel::launcher
