#include <windows.h>
#include <wincrypt.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "common/platform.h"
#include "common/testing/test_scratch_directory.h"
#include "launch/image/pe_image.h"
#include "launch/image/testing/test_images.h"
#include "launch/testing/test_sample_launch.h"
#include "launch/trust/module_trailer.h"
#include "launch/windows_module_loader.h"
#include "launch/wine/wine_bridge.h"
#include "launch/wine/wine_helper_buffer.h"

// Protected launches of the sample game with the sample module, in the Wine
// prefix the tests run in: the native Linux module through the host's
// dlopen, as under Wine in production, and the signed Windows DLL mapped
// from memory, as on Windows.
namespace quarvel::launcher {
namespace {

using namespace std::chrono_literals;
using test_support::Finished;
using test_support::PayloadLoader;
using test_support::ScrambledPayloadLoader;
using test_support::ReadBinary;
using test_support::ReadLines;
using test_support::SampleLaunch;
using test_support::ScratchDirectory;
using test_support::TestBinaryDirectory;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using Kind = cWindowsModuleLoader::ModuleKind;

constexpr const char* kSuccess = "Quarvel successfully loaded in-game";
constexpr const char* kGame = "qvl_sample_game.exe";

// The native module reads the host's environment, which the Windows one
// does not show: set there through the host's setenv.
void SetHostEnvironment(const char* name, const std::string& value) {
  static const void* setenv = FindHostFunction("setenv");
  static const void* unsetenv = FindHostFunction("unsetenv");
  ASSERT_NE(setenv, nullptr);
  const auto address = [](const void* pointer) { return reinterpret_cast<std::uintptr_t>(pointer); };
  if (value.empty()) {
    CallNative(unsetenv, address(name));
  } else {
    CallNative(setenv, address(name), address(value.c_str()), 1);
  }
}

// The process id the sample game wrote into its report.
std::uint32_t ReportedProcessId(const std::string& report) {
  for (const std::string& line : ReadLines(report)) {
    if (line.starts_with("run process-id=")) return static_cast<std::uint32_t>(std::stoul(line.substr(15)));
  }
  return 0;
}

class WindowsModuleLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!IsRunningUnderWine()) GTEST_SKIP() << "these tests run in the tests' own Wine prefix";
    ASSERT_TRUE(PlaceWineHelperBuffer());
    gameReport_ = (scratch_.path() / "game.txt").string();
    moduleLog_ = (scratch_.path() / "module.log").string();
    SetMode("");
  }
  void TearDown() override {
    if (!IsRunningUnderWine()) return;
    SetMode("");
    SetHostEnvironment("QVL_SAMPLE_MODULE_LOG", "");
    SetEnvironmentVariableUtf8("QVL_SAMPLE_MODULE_LOG", "");
  }

  // The sample module's mode, for both kinds of module.
  void SetMode(const std::string& mode) {
    SetHostEnvironment("QVL_SAMPLE_MODULE_MODE", mode);
    SetEnvironmentVariableUtf8("QVL_SAMPLE_MODULE_MODE", mode);
  }
  void LogHostModule() { SetHostEnvironment("QVL_SAMPLE_MODULE_LOG", GetUnixFileName(moduleLog_)); }
  void LogWindowsModule() { SetEnvironmentVariableUtf8("QVL_SAMPLE_MODULE_LOG", moduleLog_); }

  // Long enough for the handle to be taken before the game ends.
  std::vector<std::string> GameArguments() const {
    return {"--no-window", "--exit-after-ms", "3000", "--exit-code", "7", "--report", gameReport_};
  }
  // Each loader releases the helper buffer with itself, as the program's one
  // loader does: it is placed again for the next.
  std::unique_ptr<cModuleLoader> Loader(std::vector<std::uint8_t> payload, Kind kind,
                                        std::chrono::milliseconds resultWaitLimit = kLaunchResultWaitLimit) const {
    EXPECT_TRUE(PlaceWineHelperBuffer());
    return std::make_unique<PayloadLoader<cWindowsModuleLoader>>(std::move(payload), GameArguments(), kind,
                                                                 resultWaitLimit);
  }
  static std::vector<std::uint8_t> HostModule() {
    return ReadBinary(TestBinaryDirectory() + "libqvl_sample_module.so");
  }

  // Waits for the game the launcher holds; its exit code.
  static std::uint32_t GameExitCode(SampleLaunch& launch) {
    ProcessHandle game = launch.Launcher().DuplicateGameProcessHandle();
    EXPECT_TRUE(game);
    EXPECT_TRUE(game.WaitForExit(std::chrono::seconds(60)));
    std::uint32_t exitCode = 0xFFFFFFFF;
    EXPECT_TRUE(game.GetExitCode(exitCode));
    return exitCode;
  }

  ScratchDirectory scratch_;
  std::string gameReport_;
  std::string moduleLog_;
};

TEST_F(WindowsModuleLoaderTest, UnderWineTheProcessTakesHostModules) {
  const std::unique_ptr<cModuleLoader> loader = CreateModuleLoader({});
  ASSERT_NE(dynamic_cast<cWindowsModuleLoader*>(loader.get()), nullptr);
}

// The production course under Wine: the module starts the game itself from
// the host path it is handed, names the game's host process id, and the
// loader turns that into the Windows one.
TEST_F(WindowsModuleLoaderTest, HostModuleFromMemoryStartsTheGameItself) {
  LogHostModule();
  SampleLaunch launch(Loader(HostModule(), Kind::HostLibrary));
  launch.Start(kGame, GameArguments());
  EXPECT_EQ(launch.Results(), (std::vector<Finished>{{QVL_Success, kSuccess}}));
  EXPECT_EQ(GameExitCode(launch), 7u);
  const std::uint32_t gameId = ReportedProcessId(gameReport_);
  EXPECT_NE(gameId, 0u);
  EXPECT_EQ(launch.Launcher().GetGameProcessId(), gameId) << "the host id was translated";
  EXPECT_THAT(ReadLines(gameReport_), Contains("SteamNoOverlayUIDrawing=0"));

  launch.End();
  const std::vector<std::string> module = ReadLines(moduleLog_);
  const std::string gamePath = TestBinaryDirectory() + kGame;
  EXPECT_THAT(module, Contains("set-language version=1 language=en region=us"));
  EXPECT_THAT(module, Contains("initialize version=2 product=sample-product sandbox=sample-sandbox "
                               "deployment=sample-deployment unix-path=" +
                               GetUnixFileName(gamePath) + " argument-count=8"));
  EXPECT_THAT(module, Contains("argument 0=" + gamePath));
  EXPECT_THAT(module, Contains("argument 7=" + gameReport_));
  EXPECT_THAT(module, Contains(StartsWith("report code=1002 process-id=")));
  EXPECT_EQ(module.back(), "shutdown reason=1");
}

// The module's callback, entered in the host's convention, has the launcher
// start the game through the system.
TEST_F(WindowsModuleLoaderTest, HostModuleHasTheLauncherStartTheGame) {
  SetMode("start=launcher");
  LogHostModule();
  SampleLaunch launch(Loader(HostModule(), Kind::HostLibrary));
  launch.Start(kGame, GameArguments());
  EXPECT_EQ(launch.Results(), (std::vector<Finished>{{QVL_Success, kSuccess}}));
  EXPECT_EQ(launch.Launcher().GetGameProcessId(), ReportedProcessId(gameReport_));
  EXPECT_EQ(GameExitCode(launch), 7u);
  EXPECT_THAT(ReadLines(moduleLog_), Contains("report code=508 process-id=0"));
}

// A host library's initialize result is not looked at: its reports end the
// launch, and one that stays silent is given up once the limit has passed.
TEST_F(WindowsModuleLoaderTest, HostModuleAnswers) {
  const struct {
    const char* mode;
    std::vector<Finished> expected;
  } cases[] = {
      {"v1,start=launcher", {{QVL_Success, kSuccess}}},
      {"error", {{QVL_ModuleError, "Sample module: error on request."}}},
      {"init=2", {{QVL_ModuleLoadFailed, "Module initialization failed with 2"}}},
      {"silent", {{QVL_ModuleLoadFailed, "Module initialization failed with 1"}}},
  };
  constexpr auto kLimit = 3s;
  for (const auto& test : cases) {
    SetMode(test.mode);
    SampleLaunch launch(Loader(HostModule(), Kind::HostLibrary, kLimit));
    launch.Start(kGame, GameArguments());
    EXPECT_EQ(launch.Results(60s), test.expected) << test.mode;
    // Nothing more comes once the limit has passed.
    std::this_thread::sleep_for(kLimit + 1s);
    EXPECT_EQ(launch.Results(0s), test.expected) << test.mode;
  }
}

constexpr const char* kSignatureRefused = "Error validating Quarvel code signing certificate: ";

// What is not a host library is refused: by its signature when it has none,
// by the host's dynamic loader when it is signed.
TEST_F(WindowsModuleLoaderTest, PayloadThatIsNoHostLibraryIsRefused) {
  const std::string notSigned = std::string(kSignatureRefused) + "the module is not signed";
  const struct {
    std::vector<std::uint8_t> payload;
    std::string expected;
  } cases[] = {
      {std::vector<std::uint8_t>(4096, 0x90), notSigned},
      {ReadBinary(TestBinaryDirectory() + "qvl_sample_module.dll"), notSigned},
      {ReadBinary(TestBinaryDirectory() + "trailer_fixtures\\signed.bin"), "Failed to load the anti-cheat module."},
  };
  for (const auto& test : cases) {
    ASSERT_FALSE(test.payload.empty());
    SampleLaunch launch(Loader(test.payload, Kind::HostLibrary));
    launch.Start(kGame, GameArguments());
    EXPECT_EQ(launch.Results(), (std::vector<Finished>{{QVL_ModuleLoadFailed, test.expected}}));
  }
}

// Under Wine too the host library runs only as the build's key signed it.
TEST_F(WindowsModuleLoaderTest, OnlyTheHostModuleAsSignedIsLoaded) {
  const std::vector<std::uint8_t> module = HostModule();
  ASSERT_EQ(CheckModuleTrailer(module, BuiltInModuleKeys()), ModuleSignatureCheck::Valid);
  std::vector<std::uint8_t> unsignedModule(module.begin(), module.end() - kModuleTrailerSize);
  std::vector<std::uint8_t> flipped = module;
  flipped[flipped.size() / 2] ^= 0x01;
  const struct {
    const char* name;
    std::vector<std::uint8_t> payload;
    const char* reason;
  } cases[] = {
      {"unsigned", unsignedModule, "the module is not signed"},
      {"one byte flipped", flipped, "the module signature does not match the module"},
      {"signed with another key", ReadBinary(TestBinaryDirectory() + "trailer_fixtures\\sample_other_key.so"),
       "the module is signed by an unknown key"},
  };
  for (const auto& test : cases) {
    ASSERT_GT(test.payload.size(), kModuleTrailerSize) << test.name;
    SampleLaunch launch(Loader(test.payload, Kind::HostLibrary));
    launch.Start(kGame, GameArguments());
    EXPECT_EQ(launch.Results(),
              (std::vector<Finished>{{QVL_ModuleLoadFailed, std::string(kSignatureRefused) + test.reason}}))
        << test.name;
  }
  EXPECT_TRUE(ReadLines(moduleLog_).empty()) << "no refused module ran";
}

// As the CDN sends it, the host library is unscrambled straight into the
// host's sealed in-memory file; the payload stays as sent, for the cache.
TEST_F(WindowsModuleLoaderTest, AScrambledHostModuleLoadsAndItsPayloadStaysAsSent) {
  LogHostModule();
  EXPECT_TRUE(PlaceWineHelperBuffer());
  auto loader = std::make_unique<ScrambledPayloadLoader<cWindowsModuleLoader>>(HostModule(), GameArguments(),
                                                                               Kind::HostLibrary);
  auto* payloadLoader = loader.get();
  const std::vector<std::uint8_t> sent = payloadLoader->Payload();
  ASSERT_NE(sent, HostModule());
  SampleLaunch launch(std::move(loader));
  launch.Start(kGame, GameArguments());
  EXPECT_EQ(launch.Results(), (std::vector<Finished>{{QVL_Success, kSuccess}}));
  EXPECT_EQ(GameExitCode(launch), 7u);
  EXPECT_EQ(payloadLoader->Payload(), sent);
  launch.End();
  EXPECT_EQ(ReadLines(moduleLog_).back(), "shutdown reason=1");
}

// A payload cut short, grown or changed in one byte unscrambles into bytes
// that are not the signed library: they never run.
TEST_F(WindowsModuleLoaderTest, AnAlteredScrambledHostModuleIsRefused) {
  LogHostModule();
  const std::vector<std::uint8_t> module = HostModule();
  std::vector<std::uint8_t> truncated(module.begin(), module.end() - 1);
  std::vector<std::uint8_t> extended = module;
  extended.push_back(0x00);
  const struct {
    const char* name;
    std::vector<std::uint8_t> module;
    std::size_t flip;  // a payload byte changed on the way, or none
  } cases[] = {
      {"the last byte cut off", truncated, 0},
      {"a byte added at the end", extended, 0},
      {"a byte of the payload changed", module, module.size() / 2},
  };
  for (const auto& test : cases) {
    EXPECT_TRUE(PlaceWineHelperBuffer());
    auto loader = std::make_unique<ScrambledPayloadLoader<cWindowsModuleLoader>>(test.module, GameArguments(),
                                                                                 Kind::HostLibrary);
    if (test.flip != 0) loader->Payload()[test.flip] ^= 0x01;
    SampleLaunch launch(std::move(loader));
    launch.Start(kGame, GameArguments());
    const std::vector<Finished> results = launch.Results();
    ASSERT_EQ(results.size(), 1u) << test.name;
    EXPECT_EQ(results[0].result, QVL_ModuleLoadFailed) << test.name;
    EXPECT_THAT(results[0].message, HasSubstr(kSignatureRefused)) << test.name;
  }
  EXPECT_TRUE(ReadLines(moduleLog_).empty()) << "no refused module ran";
}

// The Windows course, in the Wine prefix: signed DLLs under the tests' own
// trusted root.
class WindowsImageLoaderTest : public WindowsModuleLoaderTest {
 protected:
  static void SetUpTestSuite() {
    if (!IsRunningUnderWine()) return;
    const std::vector<std::uint8_t> root = ReadBinary(Fixture("test_root.der"));
    ASSERT_FALSE(root.empty());
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
    ASSERT_NE(store, nullptr);
    EXPECT_TRUE(CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, root.data(), static_cast<DWORD>(root.size()),
                                                 CERT_STORE_ADD_REPLACE_EXISTING, nullptr));
    CertCloseStore(store, 0);
  }
  static std::string Fixture(const char* name) { return TestBinaryDirectory() + "sample_module_signatures\\" + name; }
};

TEST_F(WindowsImageLoaderTest, SignedDllIsMappedAwayFromItsBaseAndStartsTheGame) {
  const std::vector<std::uint8_t> module = ReadBinary(Fixture("signed.dll"));
  const auto image = cPeImage::Open(module);
  ASSERT_NE(image, nullptr);
  // Holding the preferred base makes the mapper relocate the image.
  void* blocker =
      VirtualAlloc(reinterpret_cast<void*>(image->GetImageBase()), image->MappedSize(), MEM_RESERVE, PAGE_NOACCESS);
  ASSERT_NE(blocker, nullptr);

  LogWindowsModule();
  SampleLaunch launch(Loader(module, Kind::WindowsImage));
  launch.Start(kGame, GameArguments());
  EXPECT_EQ(launch.Results(), (std::vector<Finished>{{QVL_Success, kSuccess}}));
  EXPECT_EQ(launch.Launcher().GetGameProcessId(), ReportedProcessId(gameReport_));
  EXPECT_EQ(GameExitCode(launch), 7u);
  EXPECT_EQ(GetModuleHandleA("qvl_sample_module.dll"), nullptr) << "mapped by us, not by the system";
  EXPECT_THAT(ReadLines(gameReport_), Contains("SteamNoOverlayUIDrawing=0"));

  launch.End();
  VirtualFree(blocker, 0, MEM_RELEASE);
  // The entries ran: language, initialize (with the Windows record), shutdown;
  // the module's imports (its C library's file calls) worked.
  const std::vector<std::string> lines = ReadLines(moduleLog_);
  EXPECT_THAT(lines, Contains("set-language version=1 language=en region=us"));
  EXPECT_THAT(lines, Contains("initialize version=2 product=sample-product sandbox=sample-sandbox "
                              "deployment=sample-deployment unix-path=(null) argument-count=0"));
  EXPECT_THAT(lines, Contains("report code=508 process-id=0"));
  EXPECT_EQ(lines.back(), "shutdown reason=1");
}

// A Windows image as the CDN sends it: unscrambled, checked and mapped.
TEST_F(WindowsImageLoaderTest, AScrambledWindowsImageLoadsAndItsPayloadStaysAsSent) {
  LogWindowsModule();
  EXPECT_TRUE(PlaceWineHelperBuffer());
  auto loader = std::make_unique<ScrambledPayloadLoader<cWindowsModuleLoader>>(
      ReadBinary(Fixture("signed.dll")), GameArguments(), Kind::WindowsImage, kLaunchResultWaitLimit);
  auto* payloadLoader = loader.get();
  const std::vector<std::uint8_t> sent = payloadLoader->Payload();
  SampleLaunch launch(std::move(loader));
  launch.Start(kGame, GameArguments());
  EXPECT_EQ(launch.Results(), (std::vector<Finished>{{QVL_Success, kSuccess}}));
  EXPECT_EQ(GameExitCode(launch), 7u);
  EXPECT_EQ(payloadLoader->Payload(), sent);
}

TEST_F(WindowsImageLoaderTest, WindowsModuleAnswers) {
  const struct {
    const char* fixture;
    const char* mode;
    std::vector<Finished> expected;
  } cases[] = {
      {"signed.dll", "v1", {{QVL_Success, kSuccess}}},
      {"signed.dll", "init=2", {{QVL_ModuleLoadFailed, "Module initialization failed with 2"}}},
      {"signed.dll", "v1,init=0", {{QVL_ModuleLoadFailed, "Module initialization failed with 0"}}},
      {"signed_rejected_name.dll", "",
       {{QVL_ModuleLoadFailed, "Error validating Quarvel code signing certificate: the signer's name is not accepted"}}},
      {"signed_tampered.dll", "",
       {{QVL_ModuleLoadFailed, "Error validating Quarvel code signing certificate: the signature is not trusted"}}},
      {"..\\qvl_sample_module.dll", "",
       {{QVL_ModuleLoadFailed, "Error validating Quarvel code signing certificate: the signature is not trusted"}}},
  };
  for (const auto& test : cases) {
    SetMode(test.mode);
    SampleLaunch launch(Loader(ReadBinary(Fixture(test.fixture)), Kind::WindowsImage));
    launch.Start(kGame, GameArguments());
    EXPECT_EQ(launch.Results(), test.expected) << test.fixture << " " << test.mode;
  }
}

// An x64 process maps AMD64 images only: a 32-bit image is refused before
// its signature is even looked at.
TEST_F(WindowsImageLoaderTest, ImagesForAnotherMachineAreRefused) {
  for (const auto& image : {test_support::MakePeImage(test_support::kPeMachineI386, test_support::kPe32),
                            test_support::MakePeImage(test_support::kPeMachineArm64, test_support::kPe32Plus)}) {
    SampleLaunch launch(Loader(image, Kind::WindowsImage));
    launch.Start(kGame, GameArguments());
    EXPECT_EQ(launch.Results(),
              (std::vector<Finished>{{QVL_ModuleLoadFailed, "Failed to load the anti-cheat module."}}));
  }
}

// A Windows module names the game by its Windows process id: taken as it is,
// at once. Only a host library's id goes through Wine's process-id file.
TEST_F(WindowsModuleLoaderTest, OnlyHostProcessIdsAreTranslated) {
  const struct {
    Kind kind;
    std::uint32_t expected;
    bool waits;
  } cases[] = {
      {Kind::WindowsImage, 4242, false}, {Kind::HostLibrary, 0, true},  // no process-id file for this id
  };
  for (const auto& test : cases) {
    ASSERT_TRUE(PlaceWineHelperBuffer());
    cWindowsModuleLoader loader({}, test.kind);
    QVL_ResultRecord record{};
    record.context = &loader;
    record.code = QVL_LoaderGameStarted;
    record.processId = 4242;
    const auto start = std::chrono::steady_clock::now();
    loader.OnModuleResult(record);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(loader.GetGameProcessId(), test.expected);
    if (test.waits) {
      EXPECT_GE(waited, 2000ms);
    } else {
      EXPECT_LT(waited, 500ms);
    }
  }
}

}  // namespace
}  // namespace quarvel::launcher
