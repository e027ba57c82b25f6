#include "launch/wine/host_file_status.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/testing/test_scratch_directory.h"
#endif

namespace quarvel::launcher {
namespace {

HostStatBuffer StatusOf(std::uint32_t mode, std::uint32_t owner) {
  HostStatBuffer status{};
  for (int i = 0; i < 4; ++i) {
    status[24 + i] = static_cast<std::uint8_t>(mode >> (8 * i));
    status[28 + i] = static_cast<std::uint8_t>(owner >> (8 * i));
  }
  return status;
}

TEST(HostFileStatus, OnlyARegularFileOfTheUserIsAccepted) {
  const struct {
    const char* name;
    std::uint32_t mode;
    std::uint32_t owner;
    bool accepted;
  } cases[] = {
      {"own regular file", 0100600, 1000, true},
      {"another user's file", 0100600, 1001, false},
      {"FIFO", 0010600, 1000, false},
      {"symlink", 0120777, 1000, false},
      {"directory", 0040700, 1000, false},
      {"character device", 0020666, 1000, false},
  };
  for (const auto& test : cases) {
    EXPECT_EQ(IsOwnRegularFile(StatusOf(test.mode, test.owner), 1000), test.accepted) << test.name;
  }
}

#ifndef _WIN32
// The layout is the host kernel's: the same bytes a native fstat fills in.
TEST(HostFileStatus, ReadsWhatTheKernelWrites) {
  static_assert(sizeof(struct stat) == sizeof(HostStatBuffer));
  const test_support::ScratchDirectory scratch;
  const std::string file = scratch.Write("own", "x");
  const std::string fifo = (scratch.path() / "fifo").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const auto& [path, accepted] : {std::pair{file, true}, std::pair{fifo, false}}) {
    struct stat native {};
    ASSERT_EQ(stat(path.c_str(), &native), 0);
    HostStatBuffer status{};
    std::memcpy(status.data(), &native, sizeof(native));
    EXPECT_EQ(IsOwnRegularFile(status, geteuid()), accepted) << path;
    EXPECT_FALSE(IsOwnRegularFile(status, geteuid() + 1)) << path;
  }
}
#endif

}  // namespace
}  // namespace quarvel::launcher
