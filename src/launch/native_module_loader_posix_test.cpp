#include <fcntl.h>
#include <gmock/gmock.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/testing/test_scratch_directory.h"
#include "launch/native_module_loader.h"
#include "launch/testing/test_sample_launch.h"
#include "launch/trust/module_trailer.h"

// Protected launches of the sample game with the sample module, loaded from
// memory by the Linux loader.
namespace quarvel::launcher {
namespace {

using test_support::Finished;
using test_support::PayloadLoader;
using test_support::ReadBinary;
using test_support::ReadLines;
using test_support::SampleLaunch;
using test_support::ScrambledPayloadLoader;
using test_support::ScratchDirectory;
using test_support::TestBinaryDirectory;
using ::testing::Contains;
using ::testing::HasSubstr;

constexpr const char* kSuccess = "Quarvel successfully loaded in-game";

class NativeModuleLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = ReadBinary(TestBinaryDirectory() + "libqvl_sample_module.so");
    ASSERT_FALSE(module_.empty());
    moduleLog_ = (scratch_.path() / "module.log").string();
    gameReport_ = (scratch_.path() / "game.txt").string();
    setenv("QVL_SAMPLE_MODULE_LOG", moduleLog_.c_str(), 1);
    unsetenv("QVL_SAMPLE_MODULE_MODE");
  }
  void TearDown() override {
    unsetenv("QVL_SAMPLE_MODULE_LOG");
    unsetenv("QVL_SAMPLE_MODULE_MODE");
  }

  std::vector<std::string> GameArguments() const {
    return {"--no-window", "--exit-after-ms", "100", "--exit-code", "7", "--report", gameReport_};
  }
  std::unique_ptr<cModuleLoader> Loader(std::vector<std::uint8_t> payload) const {
    return std::make_unique<PayloadLoader<cNativeModuleLoader>>(std::move(payload), GameArguments());
  }

  ScratchDirectory scratch_;
  std::vector<std::uint8_t> module_;
  std::string moduleLog_;
  std::string gameReport_;
};

TEST_F(NativeModuleLoaderTest, SampleModuleFromMemoryStartsTheGame) {
  SampleLaunch launch(Loader(module_));
  launch.Start("qvl-sample-game", GameArguments());
  EXPECT_EQ(launch.Results(), (std::vector<Finished>{{QVL_Success, kSuccess}}));

  // The launcher started the game when the module asked, and holds it.
  ProcessHandle game = launch.Launcher().DuplicateGameProcessHandle();
  ASSERT_TRUE(game);
  ASSERT_TRUE(game.WaitForExit(std::chrono::seconds(30)));
  std::uint32_t exitCode = 0;
  EXPECT_TRUE(game.GetExitCode(exitCode));
  EXPECT_EQ(exitCode, 7u);
  const std::vector<std::string> report = ReadLines(gameReport_);
  EXPECT_THAT(report, Contains("SteamNoOverlayUIDrawing=0"));
  EXPECT_THAT(report,
              Contains("working-directory=" + TestBinaryDirectory().substr(0, TestBinaryDirectory().size() - 1)));

  launch.End();
  const std::vector<std::string> module = ReadLines(moduleLog_);
  EXPECT_THAT(module, Contains("set-language version=1 language=en region=us"));
  EXPECT_THAT(module, Contains(HasSubstr("initialize version=2 product=sample-product sandbox=sample-sandbox "
                                         "deployment=sample-deployment unix-path=(null) argument-count=0")));
  EXPECT_THAT(module, Contains("report code=508 process-id=0"));
  EXPECT_THAT(module, Contains("report code=1002 process-id=0"));
  EXPECT_EQ(module.back(), "shutdown reason=1");
}

TEST_F(NativeModuleLoaderTest, ModuleAnswersReachTheCaller) {
  const struct {
    const char* mode;
    std::vector<Finished> expected;
  } cases[] = {
      {"v1", {{QVL_Success, kSuccess}}},
      {"init=2", {{QVL_ModuleLoadFailed, "Module initialization failed with 2"}}},
      {"v1,init=0", {{QVL_ModuleLoadFailed, "Module initialization failed with 0"}}},
      {"error", {{QVL_ModuleError, "Sample module: error on request."}}},
      {"codes=1003", {{QVL_Success, kSuccess}}},
  };
  for (const auto& test : cases) {
    setenv("QVL_SAMPLE_MODULE_MODE", test.mode, 1);
    SampleLaunch launch(Loader(module_));
    launch.Start("qvl-sample-game", GameArguments());
    EXPECT_EQ(launch.Results(), test.expected) << test.mode;
  }
}

constexpr const char* kSignatureRefused = "Error validating Quarvel code signing certificate: ";

// What is not a library is refused: by its signature when it has none, by
// the dynamic loader when it is signed.
TEST_F(NativeModuleLoaderTest, PayloadThatIsNoLibraryIsRefused) {
  const std::string notSigned = std::string(kSignatureRefused) + "the module is not signed";
  const struct {
    std::vector<std::uint8_t> payload;
    std::string expected;
  } cases[] = {
      {std::vector<std::uint8_t>(4096, 0x90), notSigned},
      {ReadBinary(TestBinaryDirectory() + "qvl-sample-game"), notSigned},  // an executable, not a library
      {ReadBinary(TestBinaryDirectory() + "trailer_fixtures/signed.bin"), "Failed to load the anti-cheat module."},
  };
  for (const auto& test : cases) {
    ASSERT_FALSE(test.payload.empty());
    SampleLaunch launch(Loader(test.payload));
    launch.Start("qvl-sample-game", GameArguments());
    EXPECT_EQ(launch.Results(), (std::vector<Finished>{{QVL_ModuleLoadFailed, test.expected}}));
  }
  EXPECT_TRUE(ReadLines(moduleLog_).empty());
}

// The sample module as the build signed it loads (above); anything else of
// it never runs.
TEST_F(NativeModuleLoaderTest, OnlyTheModuleAsSignedIsLoaded) {
  ASSERT_EQ(CheckModuleTrailer(module_, BuiltInModuleKeys()), ModuleSignatureCheck::Valid);
  std::vector<std::uint8_t> unsignedModule(module_.begin(), module_.end() - kModuleTrailerSize);
  std::vector<std::uint8_t> flipped = module_;
  flipped[flipped.size() / 2] ^= 0x01;
  const struct {
    const char* name;
    std::vector<std::uint8_t> payload;
    const char* reason;
  } cases[] = {
      {"unsigned", unsignedModule, "the module is not signed"},
      {"one byte flipped", flipped, "the module signature does not match the module"},
      {"signed with another key", ReadBinary(TestBinaryDirectory() + "trailer_fixtures/sample_other_key.so"),
       "the module is signed by an unknown key"},
  };
  for (const auto& test : cases) {
    ASSERT_GT(test.payload.size(), kModuleTrailerSize) << test.name;
    SampleLaunch launch(Loader(test.payload));
    launch.Start("qvl-sample-game", GameArguments());
    EXPECT_EQ(launch.Results(),
              (std::vector<Finished>{{QVL_ModuleLoadFailed, std::string(kSignatureRefused) + test.reason}}))
        << test.name;
  }
  EXPECT_TRUE(ReadLines(moduleLog_).empty()) << "no refused module ran";
}

// The in-memory file the library is loaded from cannot be changed by anyone
// who opens it through /proc, and does not leak into the game.
TEST_F(NativeModuleLoaderTest, TheInMemoryModuleFileIsSealed) {
  const int descriptor = WriteSealedModuleFile(module_);
  ASSERT_GE(descriptor, 0);
  EXPECT_EQ(fcntl(descriptor, F_GET_SEALS) & (F_SEAL_WRITE | F_SEAL_SHRINK | F_SEAL_GROW),
            F_SEAL_WRITE | F_SEAL_SHRINK | F_SEAL_GROW);
  EXPECT_NE(fcntl(descriptor, F_GETFD) & FD_CLOEXEC, 0);

  const std::string path = "/proc/self/fd/" + std::to_string(descriptor);
  const int other = open(path.c_str(), O_RDWR);
  if (other >= 0) {
    const std::uint8_t byte = 0xCC;
    EXPECT_EQ(pwrite(other, &byte, 1, 0), -1);
    EXPECT_EQ(errno, EPERM);
    EXPECT_EQ(ftruncate(other, 10), -1);
    EXPECT_EQ(ftruncate(other, static_cast<off_t>(module_.size()) + 4096), -1);
    EXPECT_EQ(mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED, other, 0), MAP_FAILED);
    close(other);
  } else {
    EXPECT_EQ(errno, EPERM) << "a sealed file refuses writers or lets them write nothing";
  }
  std::vector<std::uint8_t> back(module_.size());
  EXPECT_EQ(pread(descriptor, back.data(), back.size(), 0), static_cast<ssize_t>(back.size()));
  EXPECT_EQ(back, module_);
  close(descriptor);
}

// The in-memory files of this process that are sealed against writing, by
// their contents.
std::vector<std::vector<std::uint8_t>> SealedMemoryFiles() {
  std::vector<std::vector<std::uint8_t>> files;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
    if (error || target.rfind("/memfd:", 0) != 0) continue;
    const int descriptor = std::stoi(entry.path().filename().string());
    if ((fcntl(descriptor, F_GET_SEALS) & F_SEAL_WRITE) == 0) continue;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(lseek(descriptor, 0, SEEK_END)));
    if (pread(descriptor, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) continue;
    files.push_back(std::move(bytes));
  }
  return files;
}

// A payload as the CDN sends it is unscrambled straight into the sealed file
// the library is loaded from; the payload itself stays as it came, for the
// cache.
TEST_F(NativeModuleLoaderTest, AScrambledPayloadLoadsFromASealedFileAndStaysAsSent) {
  auto loader = std::make_unique<ScrambledPayloadLoader<cNativeModuleLoader>>(module_, GameArguments());
  auto* payloadLoader = loader.get();
  const std::vector<std::uint8_t> sent = payloadLoader->Payload();
  ASSERT_NE(sent, module_);
  const auto before = SealedMemoryFiles();
  SampleLaunch launch(std::move(loader));
  launch.Start("qvl-sample-game", GameArguments());
  EXPECT_EQ(launch.Results(), (std::vector<Finished>{{QVL_Success, kSuccess}}));
  EXPECT_EQ(payloadLoader->Payload(), sent);
  // The library stays loaded, its file open and sealed: exactly the module.
  const auto after = SealedMemoryFiles();
  ASSERT_EQ(after.size(), before.size() + 1);
  EXPECT_THAT(after, Contains(module_));
  launch.End();
}

// A payload cut short, grown or changed in transit unscrambles into bytes
// that are not the signed module: they never run.
TEST_F(NativeModuleLoaderTest, AnAlteredScrambledPayloadIsRefused) {
  std::vector<std::uint8_t> truncated(module_.begin(), module_.end() - 1);
  std::vector<std::uint8_t> extended = module_;
  extended.push_back(0x00);
  const struct {
    const char* name;
    std::vector<std::uint8_t> module;
  } cases[] = {
      // Scrambled again by the loader below, so that each is what the CDN
      // would have sent of it.
      {"the last byte cut off", truncated},
      {"a byte added at the end", extended},
      {"signed with another key", ReadBinary(TestBinaryDirectory() + "trailer_fixtures/sample_other_key.so")},
  };
  for (const auto& test : cases) {
    SampleLaunch launch(std::make_unique<ScrambledPayloadLoader<cNativeModuleLoader>>(test.module, GameArguments()));
    launch.Start("qvl-sample-game", GameArguments());
    const std::vector<Finished> results = launch.Results();
    ASSERT_EQ(results.size(), 1u) << test.name;
    EXPECT_EQ(results[0].result, QVL_ModuleLoadFailed) << test.name;
    EXPECT_THAT(results[0].message, HasSubstr(kSignatureRefused)) << test.name;
  }
  // A scrambled payload changed in one byte: the unscrambled image differs
  // from the signed one in every byte up to there.
  auto loader = std::make_unique<ScrambledPayloadLoader<cNativeModuleLoader>>(module_, GameArguments());
  loader->Payload()[module_.size() / 2] ^= 0x01;
  SampleLaunch launch(std::move(loader));
  launch.Start("qvl-sample-game", GameArguments());
  EXPECT_EQ(launch.Results(),
            (std::vector<Finished>{{QVL_ModuleLoadFailed,
                                    std::string(kSignatureRefused) + "the module signature does not match the module"}}));
  EXPECT_TRUE(ReadLines(moduleLog_).empty()) << "no refused module ran";
}

TEST(CreateModuleLoader, LinuxBuildLoadsNativeModules) {
  const std::unique_ptr<cModuleLoader> loader = CreateModuleLoader({});
  EXPECT_NE(dynamic_cast<cNativeModuleLoader*>(loader.get()), nullptr);
}

}  // namespace
}  // namespace quarvel::launcher
