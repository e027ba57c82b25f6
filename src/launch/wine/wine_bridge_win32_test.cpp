#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/platform.h"
#include "common/testing/test_binaries.h"
#include "common/testing/test_scratch_directory.h"
#include "launch/wine/host_memory_file.h"
#include "launch/wine/wine_bridge.h"
#include "launch/wine/wine_helper_buffer.h"
#include "quarvel/module_interface.h"

// The bridge to the Linux host, in the Wine process the tests run in.
namespace quarvel::launcher {
namespace {

using namespace std::chrono_literals;
using test_support::ReadBinary;
using test_support::ScratchDirectory;
using test_support::TestBinaryDirectory;

class WineBridgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!IsRunningUnderWine()) GTEST_SKIP() << "there is no Linux host outside Wine";
    ASSERT_TRUE(PlaceWineHelperBuffer());
  }
};

std::string WinePidFile(std::int32_t hostProcessId) {
  char name[64];
  std::snprintf(name, sizeof(name), "/tmp/qvl_wine_pid_%X", static_cast<unsigned>(hostProcessId));
  return name;
}

void WriteHostFile(const std::string& unixPath, const std::vector<std::uint8_t>& bytes) {
  std::FILE* file = std::fopen(("Z:" + unixPath).c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

TEST_F(WineBridgeTest, HostSystemCallsNeedTheHelperBuffer) {
  EXPECT_GT(CallHostSyscall(HostSyscall::GetPid), 0);
  ReleaseWineHelperBuffer();
  EXPECT_EQ(CallHostSyscall(HostSyscall::GetPid), -1);
  EXPECT_TRUE(ReadNativeFile("/proc/self/maps", 4096).empty());
  ASSERT_TRUE(PlaceWineHelperBuffer());
}

// Once the stub is in place its page can be run and read, never written.
TEST_F(WineBridgeTest, TheHelperPageIsExecuteRead) {
  MEMORY_BASIC_INFORMATION page{};
  ASSERT_NE(VirtualQuery(GetWineHelperBuffer(), &page, sizeof(page)), 0u);
  EXPECT_EQ(page.Protect, static_cast<DWORD>(PAGE_EXECUTE_READ));
  EXPECT_EQ(std::memcmp(GetWineHelperBuffer(), kWineSyscallStub, sizeof(kWineSyscallStub)), 0);
}

// The host file a module is loaded from reads back what was written, at any
// place, and once sealed takes no write: nothing can change the module
// between its check and its load.
TEST_F(WineBridgeTest, AHostModuleFileTakesNoWriteOnceSealed) {
  cHostMemoryFile file;
  ASSERT_TRUE(file.Create(10));
  const std::vector<std::uint8_t> tail = {7, 8, 9};
  const std::vector<std::uint8_t> head = {1, 2, 3, 4, 5, 6, 7};
  ASSERT_TRUE(file.WriteAt(7, tail));
  ASSERT_TRUE(file.WriteAt(0, head));
  ASSERT_TRUE(file.Seal());
  EXPECT_FALSE(file.WriteAt(0, tail));
  std::vector<std::uint8_t> back(10);
  ASSERT_TRUE(file.ReadAt(0, back));
  EXPECT_EQ(back, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 7, 8, 9}));
  std::vector<std::uint8_t> past(4);
  EXPECT_FALSE(file.ReadAt(8, past)) << "the file is 10 bytes long";
}

TEST_F(WineBridgeTest, ReadsHostFilesThroughSystemCalls) {
  ScratchDirectory scratch;
  const std::string unixPath = GetUnixFileName(scratch.Write("bytes.bin", std::string(10000, 'q')));
  ASSERT_FALSE(unixPath.empty());
  EXPECT_EQ(ReadNativeFile(unixPath.c_str(), 1 << 20), std::vector<std::uint8_t>(10000, 'q'));
  // Whole chunks until the limit is reached.
  EXPECT_EQ(ReadNativeFile(unixPath.c_str(), 5000).size(), 8192u);
  EXPECT_TRUE(ReadNativeFile((unixPath + ".missing").c_str(), 4096).empty());
}

TEST_F(WineBridgeTest, FindsTheHostLoaderAndLoadsALibraryFromMemory) {
  ASSERT_NE(HostDlopen(), nullptr);
  ASSERT_NE(HostDlsym(), nullptr);
  const std::vector<std::uint8_t> module = ReadBinary(TestBinaryDirectory() + "libqvl_sample_module.so");
  ASSERT_FALSE(module.empty());

  void* first = LoadNativeModule(module);
  void* second = LoadNativeModule(module);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second) << "each in-memory file stays open, so none is taken for an earlier one";
  for (const char* entry : {"a", "b", "c", "d"}) EXPECT_NE(ResolveNativeSymbol(first, entry), nullptr) << entry;
  EXPECT_EQ(ResolveNativeSymbol(first, "SampleInitialize"), nullptr) << "hidden symbols stay hidden";

  // The set-language entry answers 1 to a good record, 2 to none, in the
  // host's calling convention.
  const QVL_LanguageRecord record{QVL_LanguageRecordVersion, "en", "us"};
  const void* setLanguage = ResolveNativeSymbol(second, "d");
  EXPECT_EQ(static_cast<std::uint8_t>(CallNative(setLanguage, reinterpret_cast<std::uintptr_t>(&record))), 1);
  EXPECT_EQ(static_cast<std::uint8_t>(CallNative(setLanguage, 0)), 2);
}

TEST_F(WineBridgeTest, BytesThatAreNoLibraryAreRefused) {
  EXPECT_EQ(LoadNativeModule(std::vector<std::uint8_t>(4096, 0x90)), nullptr);
  EXPECT_EQ(LoadNativeModule({}), nullptr);
}

TEST_F(WineBridgeTest, TranslatesAHostProcessIdThroughItsFile) {
  const std::int32_t hostId = 0x7ff0000 + static_cast<std::int32_t>(GetCurrentProcessId() & 0xffff);
  const std::string file = WinePidFile(hostId);
  WriteHostFile(file, {0x34, 0x12, 0x01, 0x00});
  EXPECT_EQ(TranslateWinePid(hostId, 2000), 0x11234u);
  EXPECT_FALSE(PathExists(("Z:" + file).c_str())) << "the file is consumed";

  const struct {
    const char* name;
    std::int32_t id;
    std::vector<std::uint8_t> content;  // empty: no file
    bool waits;
  } cases[] = {
      {"no file", hostId, {}, true},
      {"too short", hostId, {1, 2, 3}, true},
      {"too long", hostId, {1, 2, 3, 4, 5}, true},
      {"zero id", 0, {}, false},
      {"negative id", -5, {}, false},
  };
  for (const auto& test : cases) {
    if (!test.content.empty()) WriteHostFile(file, test.content);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(TranslateWinePid(test.id, 300), 0u) << test.name;
    const auto waited = std::chrono::steady_clock::now() - start;
    if (test.waits) {
      EXPECT_GE(waited, 300ms) << test.name;
    } else {
      EXPECT_LT(waited, 100ms) << test.name;
    }
    std::remove(("Z:" + file).c_str());
  }
}

// Host system calls the bridge itself has no use for.
constexpr std::int64_t kHostLstat = 6;
constexpr std::int64_t kHostSymlink = 88;
constexpr std::int64_t kHostChown = 92;
constexpr std::int64_t kHostMknod = 133;

std::int64_t HostCall(std::int64_t number, const std::string& path, std::uint64_t argument2 = 0,
                      std::uint64_t argument3 = 0) {
  return CallHostSyscall(static_cast<HostSyscall>(number), reinterpret_cast<std::uintptr_t>(path.c_str()),
                         argument2, argument3);
}

// Without following a symlink.
bool HostPathExists(const std::string& path) {
  std::uint8_t status[144];
  return HostCall(kHostLstat, path, reinterpret_cast<std::uintptr_t>(status)) == 0;
}

// The pid file's name lies in /tmp: what another user (or anyone, as a FIFO
// or a symlink) put there is neither waited on, nor read, nor removed.
TEST_F(WineBridgeTest, OnlyAPidFileOfThisUserIsTrusted) {
  const std::int32_t hostId = 0x7fe0000 + static_cast<std::int32_t>(GetCurrentProcessId() & 0xffff);
  const std::string file = WinePidFile(hostId);
  const std::string target = file + ".target";
  const std::vector<std::uint8_t> pid = {0x34, 0x12, 0x01, 0x00};
  enum class Kind { Fifo, ForeignFile, Symlink };
  const struct {
    const char* name;
    Kind kind;
  } cases[] = {{"FIFO", Kind::Fifo}, {"another user's file", Kind::ForeignFile}, {"symlink", Kind::Symlink}};
  for (const auto& test : cases) {
    bool made = false;
    switch (test.kind) {
      case Kind::Fifo:
        made = HostCall(kHostMknod, file, 010600) == 0;
        break;
      case Kind::ForeignFile:
        WriteHostFile(file, pid);
        made = HostCall(kHostChown, file, 65534, 65534) == 0;
        break;
      case Kind::Symlink:
        WriteHostFile(target, pid);
        made = CallHostSyscall(static_cast<HostSyscall>(kHostSymlink), reinterpret_cast<std::uintptr_t>(target.c_str()),
                               reinterpret_cast<std::uintptr_t>(file.c_str())) == 0;
        break;
    }
    if (made) {
      EXPECT_EQ(TranslateWinePid(hostId, 300), 0u) << test.name;
      EXPECT_TRUE(HostPathExists(file)) << test.name << " was removed";
    } else {
      std::printf("'%s' cannot be made by this user; not tried\n", test.name);
    }
    HostCall(static_cast<std::int64_t>(HostSyscall::Unlink), file);
    HostCall(static_cast<std::int64_t>(HostSyscall::Unlink), target);
  }
  // The user's own file is still taken.
  WriteHostFile(file, pid);
  EXPECT_EQ(TranslateWinePid(hostId, 2000), 0x11234u);
}

TEST_F(WineBridgeTest, WindowsPathsHaveTheirHostPaths) {
  ScratchDirectory scratch;
  const std::string file = scratch.Write("some dir\\game.exe", "host");
  const std::string unixPath = GetUnixFileName(file);
  EXPECT_TRUE(unixPath.starts_with("/") && unixPath.ends_with("/some dir/game.exe")) << unixPath;
  EXPECT_EQ(ReadNativeFile(unixPath.c_str(), 4096), (std::vector<std::uint8_t>{'h', 'o', 's', 't'}));
  EXPECT_EQ(GetUnixFileName("Z:\\tmp"), "/tmp");
  EXPECT_EQ(GetUnixFileName(""), "");
}

}  // namespace
}  // namespace quarvel::launcher
