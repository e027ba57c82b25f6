#include "launch/platform_module_loader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/platform.h"
#include "common/testing/test_scratch_directory.h"
#include "launch/testing/test_module_loader.h"

// The start of a module and its reports, against a module made of test
// functions that records what it was handed.
namespace quarvel::launcher {
namespace {

using namespace std::chrono_literals;
using test_support::ScratchDirectory;
using test_support::ScriptedModuleLoader;
using ::testing::StartsWith;

struct Reported {
  std::int32_t code;
  std::string message;
  bool operator==(const Reported&) const = default;
};

// What the fake module saw; one module runs at a time.
struct ModuleLog {
  std::vector<int> versions;  // of each initialize call, in order
  QVL_StartRecord lastRecord{};
  std::vector<std::string> languageCalls;
  std::vector<std::string> arguments;  // of the last record
  std::string unixGamePath;
  std::vector<std::uint8_t> answers;  // initialize's answers in order; then 1
  int32_t reportProcessId = 0;
  int32_t reportCode = 0;  // 0: report nothing
} gModule;

std::uint8_t FakeInitialize(const QVL_StartRecord* record) {
  gModule.versions.push_back(record->version);
  gModule.lastRecord = *record;
  gModule.arguments.clear();
  for (int i = 0; i < record->argumentCount; ++i) gModule.arguments.push_back(record->arguments[i]);
  gModule.unixGamePath = record->unixGamePath != nullptr ? record->unixGamePath : "";
  const std::size_t call = gModule.versions.size() - 1;
  const std::uint8_t answer =
      call < gModule.answers.size() ? gModule.answers[call] : static_cast<std::uint8_t>(QVL_InitializeOk);
  if (answer != QVL_InitializeOk || gModule.reportCode == 0) return answer;
  if (record->version == QVL_StartRecordVersion1) {
    record->callbackV1(gModule.reportCode, "from the module", record->context);
  } else {
    QVL_ResultRecord result{};
    result.context = record->context;
    result.code = gModule.reportCode;
    result.message = "from the module";
    result.processId = gModule.reportProcessId;
    record->callbackV2(&result);
  }
  return answer;
}

std::uint8_t FakeSetLanguage(const QVL_LanguageRecord* record) {
  EXPECT_EQ(record->version, 1u);
  gModule.languageCalls.push_back(std::string(record->language) + "-" + record->region);
  return 1;
}

std::uint8_t FakeShutdown(const std::int32_t*) { return 1; }

void OnResult(const QVL_ResultRecord* record) {
  static_cast<cPlatformModuleLoader*>(record->context)->OnModuleResult(*record);
}
void OnResultV1(std::int32_t code, const char* message, void* context) {
  static_cast<cPlatformModuleLoader*>(context)->OnModuleResultV1(code, message);
}
std::uint8_t CallDirectly(const void* entry, const void* argument) {
  return reinterpret_cast<std::uint8_t (*)(const void*)>(const_cast<void*>(entry))(argument);
}

// Loads the fake module on its thread, as a platform loader loads a real one.
class FakeModuleLoader : public cPlatformModuleLoader {
 public:
  // With a wait limit the loader watches for the module's result the way a
  // host library is watched.
  FakeModuleLoader(bool withHostFields, bool withSetLanguage,
                   std::optional<std::chrono::milliseconds> resultWaitLimit = std::nullopt)
      : cPlatformModuleLoader({"-windowed", "two words"}, resultWaitLimit.value_or(kLaunchResultWaitLimit)),
        withHostFields_(withHostFields),
        withSetLanguage_(withSetLanguage),
        watched_(resultWaitLimit.has_value()) {}
  ~FakeModuleLoader() override { Shutdown(); }

  void LoadModule(const std::vector<std::uint8_t>&) override {
    initializeEntry_ = &FakeInitialize;
    shutdownEntry_ = &FakeShutdown;
    setLanguageEntry_ = withSetLanguage_ ? &FakeSetLanguage : nullptr;
    const ModuleCalls calls{&CallDirectly, &OnResult, &OnResultV1};
    SetModuleLanguage(calls);
    const std::uint8_t result = StartModule(calls, withHostFields_, "/host/games/game.exe");
    if (watched_) return WatchForLaunchResult(result);
    if (result != QVL_InitializeOk) ReportInitializeFailure(result);
  }
  void MapFailed(MapResult result) { ReportMapFailure(result); }

  // Runs a launch to the end of the module's initialize; what was reported.
  std::vector<Reported> Launch() {
    std::string path;
    std::string directory;
    EXPECT_TRUE(GetExecutablePath(path));
    GetExecutableDirectory(directory);
    const bool started = Initialize([](std::uint32_t, std::uint32_t) { return QVL_Continue; },
                                    [this](QVL_ProtectedGameLaunchResult result, const char* message) {
                                      std::lock_guard lock(lock_);
                                      reports_.push_back({result, message != nullptr ? message : "(null)"});
                                    },
                                    path, directory, "linux64", "product-1", "sandbox-1", "deployment-1", false);
    EXPECT_TRUE(started);
    EXPECT_EQ(done_.get_future().wait_for(30s), std::future_status::ready);
    std::lock_guard lock(lock_);
    return reports_;
  }
  std::vector<Reported> Reports() {
    std::lock_guard lock(lock_);
    return reports_;
  }
  const std::string& GamePath() const { return gameBinaryPath_; }

 protected:
  void Run() override {
    LoadModule({});
    done_.set_value();
  }

 private:
  const bool withHostFields_;
  const bool withSetLanguage_;
  const bool watched_;
  std::promise<void> done_;
  std::mutex lock_;
  std::vector<Reported> reports_;
};

class PlatformModuleLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override { gModule = {}; }
};

TEST(MapModuleCodeV1, VersionOneCodesBecomeLoaderCodes) {
  const std::pair<std::int32_t, QVL_ProtectedGameLaunchResult> cases[] = {
      {902, QVL_LoaderModuleFailed}, {903, QVL_LoaderCreateGameProcess},
      {904, QVL_LoaderModuleError},  {905, QVL_LoaderGameStarted},
      {0, QVL_Unclassified},         {508, QVL_Unclassified},
      {1002, QVL_Unclassified},      {901, QVL_Unclassified},
      {-1, QVL_Unclassified},
  };
  for (const auto& [code, expected] : cases) EXPECT_EQ(MapModuleCodeV1(code), expected) << code;
}

TEST_F(PlatformModuleLoaderTest, VersionTwoRecordCarriesTheIdsAndTheCallback) {
  gModule.reportCode = QVL_LoaderGameStarted;
  gModule.reportProcessId = 4242;
  FakeModuleLoader loader(false, true);
  loader.SetLocalization("", nullptr, nullptr);
  const std::vector<Reported> reports = loader.Launch();

  EXPECT_EQ(reports, (std::vector<Reported>{{QVL_LoaderGameStarted, "from the module"}}));
  EXPECT_EQ(loader.GetGameProcessId(), 4242u) << "a native module's process id is taken as it is";
  ASSERT_EQ(gModule.versions, std::vector<int>{2});
  const QVL_StartRecord& record = gModule.lastRecord;
  EXPECT_EQ(record.context, static_cast<void*>(&loader));
  EXPECT_STREQ(record.productId, "product-1");
  EXPECT_STREQ(record.sandboxId, "sandbox-1");
  EXPECT_STREQ(record.deploymentId, "deployment-1");
  EXPECT_NE(record.callbackV2, nullptr);
  EXPECT_EQ(record.callbackV1, nullptr);
  EXPECT_EQ(record.unixGamePath, nullptr) << "host fields only for a host library under Wine";
  EXPECT_EQ(record.argumentCount, 0);
  EXPECT_EQ(record.arguments, nullptr);
  EXPECT_TRUE(gModule.languageCalls.empty()) << "no language is known";
}

TEST_F(PlatformModuleLoaderTest, HostFieldsNameTheGameAndItsArguments) {
  FakeModuleLoader loader(true, true);
  loader.Launch();
  EXPECT_EQ(gModule.unixGamePath, "/host/games/game.exe");
  EXPECT_EQ(gModule.arguments, (std::vector<std::string>{loader.GamePath(), "-windowed", "two words"}));
}

TEST_F(PlatformModuleLoaderTest, AnswerOfZeroRetriesWithVersionOneAndItsCodes) {
  gModule.answers = {QVL_InitializeUnsupportedVersion};
  gModule.reportCode = QVL_V1CreateGameProcess;
  FakeModuleLoader loader(false, true);
  const std::vector<Reported> reports = loader.Launch();
  EXPECT_EQ(gModule.versions, (std::vector<int>{2, 1}));
  EXPECT_NE(gModule.lastRecord.callbackV1, nullptr);
  // The retry switches only the version and the version-1 callback.
  EXPECT_NE(gModule.lastRecord.callbackV2, nullptr);
  EXPECT_EQ(reports, (std::vector<Reported>{{QVL_LoaderCreateGameProcess, "from the module"}}));
}

// A watched module that never reports fails the launch once the limit has
// passed; one that reported in time (a request to start the game does not
// count) is left alone, however long the launch goes on.
TEST_F(PlatformModuleLoaderTest, AWatchedModuleThatStaysSilentFailsAfterTheLimit) {
  const struct {
    const char* name;
    std::vector<std::uint8_t> answers;
    std::int32_t reportCode;
    std::vector<Reported> expected;
  } cases[] = {
      {"silent after success", {}, 0, {{QVL_LoaderModuleFailed, "Module initialization failed with 1"}}},
      {"silent after failure", {7}, 0, {{QVL_LoaderModuleFailed, "Module initialization failed with 7"}}},
      {"only asked for the game",
       {},
       QVL_LoaderCreateGameProcess,
       {{QVL_LoaderCreateGameProcess, "from the module"},
        {QVL_LoaderModuleFailed, "Module initialization failed with 1"}}},
      {"reported in time", {}, QVL_LoaderGameStarted, {{QVL_LoaderGameStarted, "from the module"}}},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    gModule = {};
    gModule.answers = test.answers;
    gModule.reportCode = test.reportCode;
    const auto begin = std::chrono::steady_clock::now();
    FakeModuleLoader loader(false, true, 300ms);
    EXPECT_EQ(loader.Launch(), test.expected);
    if (test.expected.back().code == QVL_LoaderModuleFailed) {
      EXPECT_GE(std::chrono::steady_clock::now() - begin, 300ms) << "given up before its limit";
    }
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(loader.Reports(), test.expected) << "nothing follows";
  }
}

// The watch must not hold the launcher's shutdown for its whole limit.
TEST_F(PlatformModuleLoaderTest, StoppingTheLoaderEndsTheWatchWithoutAReport) {
  gModule = {};
  {
    FakeModuleLoader loader(false, true, 24h);
    std::string path;
    std::string directory;
    ASSERT_TRUE(GetExecutablePath(path));
    GetExecutableDirectory(directory);
    std::vector<Reported> reports;
    ASSERT_TRUE(loader.Initialize([](std::uint32_t, std::uint32_t) { return QVL_Continue; },
                                  [&](QVL_ProtectedGameLaunchResult result, const char*) {
                                    reports.push_back({result, ""});
                                  },
                                  path, directory, "linux64", "product-1", "sandbox-1", "deployment-1", false));
    std::this_thread::sleep_for(100ms);
    loader.Shutdown();
    EXPECT_TRUE(reports.empty());
  }
}

TEST_F(PlatformModuleLoaderTest, FailedInitializeIsReportedWithItsResult) {
  const struct {
    std::vector<std::uint8_t> answers;
    const char* text;
  } cases[] = {
      {{0, 0}, "Module initialization failed with 0"},
      {{2}, "Module initialization failed with 2"},
      {{0, 7}, "Module initialization failed with 7"},
  };
  for (const auto& test : cases) {
    gModule = {};
    gModule.answers = test.answers;
    FakeModuleLoader loader(false, true);
    EXPECT_EQ(loader.Launch(), (std::vector<Reported>{{QVL_LoaderModuleFailed, test.text}}));
  }
}

TEST_F(PlatformModuleLoaderTest, LanguageGoesFirstOnlyWhenKnownAndTheEntryExists) {
  const struct {
    const char* directory;
    bool withEntry;
    std::vector<std::string> expected;
  } cases[] = {
      {".", true, {"de-at"}},
      {"", true, {}},  // no localization directory: no language
      {".", false, {}},
  };
  for (const auto& test : cases) {
    gModule = {};
    FakeModuleLoader loader(false, test.withEntry);
    loader.SetLocalization(test.directory, "de", "at");
    loader.Launch();
    EXPECT_EQ(gModule.languageCalls, test.expected) << test.directory << " " << test.withEntry;
    EXPECT_EQ(gModule.versions.size(), 1u);
  }
}

TEST_F(PlatformModuleLoaderTest, MapFailuresCarryTheirTexts) {
  const std::pair<MapResult, const char*> cases[] = {
      {MapResult::SignatureRefused, "Error validating Quarvel code signing certificate"},
      {MapResult::LoadFailed, "Failed to load the anti-cheat module."},
      {MapResult::BadArguments, "Internal error!"},
  };
  for (const auto& [result, text] : cases) {
    gModule = {};
    gModule.answers = {QVL_InitializeOk};
    FakeModuleLoader loader(false, false);
    loader.Launch();
    loader.MapFailed(result);
    EXPECT_EQ(loader.Reports().back(), (Reported{QVL_LoaderModuleFailed, text}));
  }
}

#ifdef _WIN32
constexpr const char* kSampleGameName = "qvl_sample_game.exe";
#else
constexpr const char* kSampleGameName = "qvl-sample-game";
#endif

std::string SampleGamePath() {
  std::string directory;
  GetExecutableDirectory(directory);
  return directory + kSampleGameName;
}

TEST(CreateGameProcessFor, ReportsARefusedStartAs502) {
  ScratchDirectory scratch;
  const std::string existing = scratch.Write("game", "not started");
  ScriptedModuleLoader loader;
  std::vector<std::pair<QVL_ProtectedGameLaunchResult, std::string>> reports;
  ASSERT_TRUE(loader.Initialize([](std::uint32_t, std::uint32_t) { return QVL_Continue; },
                                [&reports](QVL_ProtectedGameLaunchResult code, const char* message) {
                                  reports.emplace_back(code, message != nullptr ? message : "");
                                },
                                existing, "", "linux64", "p", "s", "d", false));
  loader.Stop();

  cLocalization catalogue;
  GameProcess game;
  const std::string missing = (scratch.path() / "missing-game").string();
  EXPECT_FALSE(CreateGameProcessFor(loader, catalogue, missing, {}, "", game));
  EXPECT_EQ(game.processId, 0u);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].first, QVL_LoaderStartFailed);
  EXPECT_THAT(reports[0].second, StartsWith("Failed to create the game process: "));
  EXPECT_GT(reports[0].second.size(), std::string("Failed to create the game process: ").size());
}

TEST(CreateGameProcessFor, KeepsTheStartedGame) {
  ScratchDirectory scratch;
  ScriptedModuleLoader loader;
  cLocalization catalogue;
  GameProcess game;
  ASSERT_TRUE(CreateGameProcessFor(loader, catalogue, SampleGamePath(), {"--no-window", "--exit-code", "5"},
                                   scratch.path().string(), game));
  EXPECT_NE(game.processId, 0u);
  ASSERT_TRUE(game.handle.WaitForExit(std::chrono::seconds(60)));
  std::uint32_t code = 0;
  EXPECT_TRUE(game.handle.GetExitCode(code));
  EXPECT_EQ(code, 5u);
}

}  // namespace
}  // namespace quarvel::launcher
