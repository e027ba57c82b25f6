// The loader's module download against the build's test CDN (nginx with a
// test CA, tests/services), with modules published by qvl-cdn.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <future>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/testing/test_log_capture.h"
#include "common/testing/test_scratch_directory.h"
#include "launch/delivery/scramble.h"
#include "launch/module_loader.h"
#include "net/deployment.h"
#include "net/http_transfer.h"
#include "net/test_services.h"
#include "qvl_cdn.h"

namespace quarvel::launcher {
namespace {

using namespace std::chrono_literals;
using test_support::LogCapture;
using test_support::ScratchDirectory;

namespace services = quarvel::test_support;

using Bytes = std::vector<std::uint8_t>;

struct Reported {
  std::int32_t result;
  std::string message;
  bool operator==(const Reported&) const = default;
};

// Wine shows the Linux root as drive Z:.
std::string HostPath(const std::string& path) {
#ifdef _WIN32
  return "Z:" + path;
#else
  return path;
#endif
}

Bytes ReadBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));
}

Bytes Scrambled(Bytes bytes) {
  ScrambleModule(bytes);
  return bytes;
}

// Records the information boxes the loader would show.
std::mutex gBoxLock;
std::vector<std::string> gBoxes;
void RecordBox(const char* title, const char* text) {
  std::lock_guard lock(gBoxLock);
  gBoxes.push_back(std::string(title) + ": " + text);
}

// A loader whose cache lies where the test says and which records the
// module image it is handed instead of loading it.
class DownloadTestLoader : public cModuleLoader {
 public:
  explicit DownloadTestLoader(std::string cachePath) : cModuleLoader({}), cachePath_(std::move(cachePath)) {}
  ~DownloadTestLoader() override { Shutdown(); }

  bool CreateGameProcess(const std::string&, const std::vector<std::string>&, const std::string&) override {
    return false;
  }
  using cModuleLoader::GetModuleCachePath;
  bool GetModuleCachePath(std::string& path) override {
    path = cachePath_;
    return !path.empty();
  }
  void LoadModule(const std::vector<std::uint8_t>& image) override {
    std::lock_guard lock(lock_);
    images_.push_back(image);
  }

  bool InitializeTransfer(cHttpTransfer& transfer) override {
    return !transferSetupFails && cModuleLoader::InitializeTransfer(transfer);
  }

  void SetProductionHost(const std::string& host) { productionCdnHost_ = host; }
  bool transferSetupFails = false;
  void SetGameDevHost(const std::string& host) { gameDevCdnHost_ = host; }
  const cModuleCache& Cache() const { return moduleCache_; }
  std::vector<Bytes> Images() {
    std::lock_guard lock(lock_);
    return images_;
  }
  // Waits until the thread body has returned.
  bool WaitForRun() { return finished_.get_future().wait_for(120s) == std::future_status::ready; }

 protected:
  void Run() override {
    cModuleLoader::Run();
    finished_.set_value();
  }

 private:
  std::string cachePath_;
  std::mutex lock_;
  std::vector<Bytes> images_;
  std::promise<void> finished_;
};

// One launch: a game folder, its cache, and what came out of the loader.
struct Outcome {
  std::vector<Bytes> images;
  std::vector<Reported> reports;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> progress;
  std::vector<LogCapture::Line> log;
  Bytes keptPayload;
  std::string keptEtag;

  bool Logged(const std::string& text) const {
    return std::any_of(log.begin(), log.end(), [&](const LogCapture::Line& line) { return line.text == text; });
  }
  bool LoggedPart(const std::string& text) const {
    return std::any_of(log.begin(), log.end(),
                       [&](const LogCapture::Line& line) { return line.text.find(text) != std::string::npos; });
  }
};

class ModuleDownloadTest : public ::testing::Test {
 protected:
  ModuleDownloadTest()
      : product_(services::UniqueName("p")),
        game_(scratch_.Write("Game/game.exe", "game")),
        cachePath_((scratch_.path() / "quarvel_x64.qvl").string()) {
    std::lock_guard lock(gBoxLock);
    gBoxes.clear();
    SetInformationBox(RecordBox);
  }
  ~ModuleDownloadTest() override { SetInformationBox(nullptr); }

  // The last launch's log explains a failure.
  void TearDown() override {
    if (!HasFailure()) return;
    for (const LogCapture::Line& line : lastLog_) std::cerr << "  log: " << line.text << "\n";
  }

  // Publishes `module` with qvl-cdn where this test's product lives.
  void Publish(const Bytes& module, const std::string& system = "win64") {
    const std::string file = (scratch_.path() / "module.bin").string();
    WriteBytes(file, module);
    std::string published, error;
    ASSERT_TRUE(cdn_tool::PublishModule(file, product_, "dep-1", system, HostPath(QVL_TEST_CDN_ROOT), published,
                                        error))
        << error;
  }

  struct Launch {
    std::optional<std::string> productionHost = std::nullopt;
    std::optional<std::string> gameDevHost = std::nullopt;
    bool gameDev = false;
    bool gameStarts = false;
    QVL_ModuleDownloadProgressResult answer = QVL_Continue;
    bool transferSetupFails = false;
  };

  Outcome Run(const Launch& launch) {
    Outcome outcome;
    LogCapture log;
    std::mutex lock;
    {
      DownloadTestLoader loader(cachePath_);
      if (launch.productionHost) loader.SetProductionHost(*launch.productionHost);
      if (launch.gameDevHost) loader.SetGameDevHost(*launch.gameDevHost);
      loader.transferSetupFails = launch.transferSetupFails;
      const bool started = loader.Initialize(
          [&](std::uint32_t received, std::uint32_t expected) {
            std::lock_guard guard(lock);
            outcome.progress.emplace_back(received, expected);
            return launch.answer;
          },
          [&](QVL_ProtectedGameLaunchResult result, const char* message) {
            std::lock_guard guard(lock);
            outcome.reports.push_back({result, message != nullptr ? message : "(null)"});
          },
          game_, "", "win64", product_, "sandbox", "dep-1", launch.gameDev);
      EXPECT_TRUE(started);
      EXPECT_TRUE(loader.WaitForRun());
      outcome.images = loader.Images();
      outcome.keptPayload = loader.Cache().payload;
      outcome.keptEtag = loader.Cache().payloadEtag;
      if (launch.gameStarts) loader.SetGameLaunched();
    }
    outcome.log = log.Stop();
    lastLog_ = outcome.log;
    return outcome;
  }

  // A valid cache holding `module`, as a launch that started the game leaves it.
  void LeaveCache(const Bytes& module) {
    Publish(module);
    const Outcome first = Run({.gameStarts = true});
    ASSERT_EQ(first.images, std::vector<Bytes>{module});
    ASSERT_TRUE(std::filesystem::exists(cachePath_ + ".metadata"));
  }

  void WriteOverride(const std::string& text) { scratch_.Write("Game/game.exe.qvl", text); }

  static std::vector<std::string> Boxes() {
    std::lock_guard lock(gBoxLock);
    return gBoxes;
  }
  static std::string Host() { return deployment::ModuleCdnHost(); }
  static std::string ClosedHost() { return "127.0.0.1:" + std::to_string(services::Port(services::kClosedPort)); }
  std::string ModuleUrl(const std::string& host, const std::string& system = "win64") const {
    return "https://" + host + "/modules/" + product_ + "/dep-1/" + system;
  }

  ScratchDirectory scratch_;
  std::string product_;
  std::string game_;
  std::string cachePath_;
  std::vector<LogCapture::Line> lastLog_;
};

TEST_F(ModuleDownloadTest, AFreshModuleIsUnscrambledHandedOverAndCachedOnceTheGameStarted) {
  const Bytes module = services::PatternBytes(300 * 1024 + 3, 7);
  Publish(module);

  const Outcome outcome = Run({.gameStarts = true});
  EXPECT_EQ(outcome.images, std::vector<Bytes>{module});
  EXPECT_TRUE(outcome.reports.empty());
  // The scrambled bytes are kept with the response's ETag for the cache.
  EXPECT_EQ(outcome.keptPayload, Scrambled(module));
  ASSERT_GE(outcome.keptEtag.size(), 2u);
  EXPECT_EQ(outcome.keptEtag.front(), '"');
  ASSERT_FALSE(outcome.progress.empty());
  EXPECT_EQ(outcome.progress.back(), (std::pair<std::uint32_t, std::uint32_t>{1, 1}));
  EXPECT_TRUE(outcome.Logged("[Connection] Connecting to URL: " + ModuleUrl(Host())));

  // Written at shutdown: the scrambled payload and its metadata.
  EXPECT_EQ(ReadBytes(cachePath_), Scrambled(module));
  cModuleCache cache;
  cache.Open(cachePath_);
  EXPECT_TRUE(cache.valid);
  EXPECT_EQ(cache.cachedEtag, outcome.keptEtag);
}

TEST_F(ModuleDownloadTest, NothingIsCachedWhenTheGameWasNotStarted) {
  Publish(services::PatternBytes(5000, 8));
  const Outcome outcome = Run({});
  EXPECT_EQ(outcome.images.size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(cachePath_));
}

TEST_F(ModuleDownloadTest, ASecondLaunchRevalidatesAndUsesTheCache) {
  const Bytes module = services::PatternBytes(20000, 9);
  LeaveCache(module);

  const Outcome outcome = Run({.gameStarts = true});
  // 304 only comes back for the If-None-Match of the cached ETag.
  EXPECT_TRUE(outcome.Logged("No update needed."));
  EXPECT_TRUE(outcome.LoggedPart("Response Code: 304 "));
  EXPECT_EQ(outcome.images, std::vector<Bytes>{module});
  EXPECT_TRUE(outcome.reports.empty());
  EXPECT_EQ(outcome.progress.back(), (std::pair<std::uint32_t, std::uint32_t>{1, 1}));
  // Used and written back for the next launch.
  cModuleCache cache;
  cache.Open(cachePath_);
  EXPECT_TRUE(cache.valid);
}

TEST_F(ModuleDownloadTest, AUsedCacheIsGoneUnlessTheGameStarted) {
  LeaveCache(services::PatternBytes(20000, 10));
  const Outcome outcome = Run({});
  EXPECT_TRUE(outcome.Logged("No update needed."));
  EXPECT_FALSE(std::filesystem::exists(cachePath_));
  EXPECT_FALSE(std::filesystem::exists(cachePath_ + ".metadata"));
}

TEST_F(ModuleDownloadTest, AStaleOrMismatchingCacheIsNotUsed) {
  const Bytes cached = services::PatternBytes(20000, 11);
  const Bytes current = services::PatternBytes(30000, 12);
  struct Case {
    const char* name;
    void (*spoil)(const std::string& cachePath);
    bool cacheFilesRemain;
  };
  const Case cases[] = {
      {"169 hours old",
       [](const std::string& path) {
         std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() - 169h);
       },
       false},
      {"one byte changed",
       [](const std::string& path) {
         Bytes bytes = ReadBytes(path);
         bytes[100] ^= 0x01;
         WriteBytes(path, bytes);
       },
       true},
  };
  for (const Case& test : cases) {
    LeaveCache(cached);
    test.spoil(cachePath_);
    Publish(current);

    const Outcome outcome = Run({});
    EXPECT_FALSE(outcome.Logged("No update needed.")) << test.name;
    EXPECT_EQ(outcome.images, std::vector<Bytes>{current}) << test.name;
    EXPECT_TRUE(outcome.reports.empty()) << test.name;
    EXPECT_EQ(std::filesystem::exists(cachePath_), test.cacheFilesRemain) << test.name;
  }
}

TEST_F(ModuleDownloadTest, ASmallAnswerMeansTheServiceIsOffAndTheCacheIsNotTried) {
  LeaveCache(services::PatternBytes(20000, 13));
  Publish(services::PatternBytes(4096, 14));

  const Outcome outcome = Run({});
  EXPECT_TRUE(outcome.Logged("Anti-cheat service disabled on backend."));
  EXPECT_TRUE(outcome.images.empty());
  EXPECT_EQ(outcome.reports,
            (std::vector<Reported>{{QVL_LoaderCdnTransferFailed, "HTTP Response Code: 200 Curl Code: 0"}}));
  // The cache was not consumed.
  cModuleCache cache;
  cache.Open(cachePath_);
  EXPECT_TRUE(cache.valid);
}

TEST_F(ModuleDownloadTest, OneByteMoreThanTheServiceOffAnswerIsAModule) {
  const Bytes module = services::PatternBytes(4097, 15);
  Publish(module);
  const Outcome outcome = Run({});
  EXPECT_EQ(outcome.images, std::vector<Bytes>{module});
  EXPECT_TRUE(outcome.reports.empty());
}

TEST_F(ModuleDownloadTest, FailuresFallBackToAValidCacheOrAreReported) {
  const Bytes module = services::PatternBytes(20000, 16);
  const std::string closed = ClosedHost();
  const std::string unknown = "cdn.quarvel.invalid:" + std::to_string(services::Port(services::kCdnPort));
  struct Case {
    std::string host;
    bool published;
    Reported report;
  };
  const Case cases[] = {
      {unknown, true, {QVL_LoaderCdnUnreachable, "DNS resolve to the Content Distribution Network failed!"}},
      {closed, true,
       {QVL_LoaderCdnTransferFailed, "Connection to the Content Distribution Network failed! Curl Code: 7!"}},
      {Host(), false, {QVL_LoaderCdnTransferFailed, "HTTP Response Code: 404 Curl Code: 0"}},
  };
  for (const Case& test : cases) {
    // Without a cache the failure is reported...
    std::filesystem::remove(cachePath_);
    std::filesystem::remove(cachePath_ + ".metadata");
    product_ = services::UniqueName("p");
    if (test.published) Publish(module);
    Outcome outcome = Run({.productionHost = test.host});
    EXPECT_TRUE(outcome.images.empty()) << test.host;
    EXPECT_EQ(outcome.reports, std::vector<Reported>{test.report}) << test.host;
    EXPECT_TRUE(outcome.Logged(test.report.message)) << test.host;

    // ...and with one the cache stands in, silently.
    product_ = services::UniqueName("p");
    LeaveCache(module);
    if (!test.published) std::filesystem::remove_all(HostPath(QVL_TEST_CDN_ROOT) + "/modules/" + product_);
    outcome = Run({.productionHost = test.host});
    EXPECT_EQ(outcome.images, std::vector<Bytes>{module}) << test.host;
    EXPECT_TRUE(outcome.reports.empty()) << test.host;
  }
}

// The build's limit (1 MiB in development builds) holds however the body
// comes: a declared length over it ends the transfer at the header, a chunked
// body once it grows past it. Nothing of an oversized answer is kept.
TEST_F(ModuleDownloadTest, AModuleOverTheSizeLimitFailsLikeABrokenTransfer) {
  const std::size_t limit = static_cast<std::size_t>(deployment::MaxModuleSize());
  ASSERT_LE(limit, 64u * 1024 * 1024) << "a development build keeps the limit small";
  struct Case {
    const char* name;
    std::size_t size;
    bool chunked;
    bool loads;
  };
  const Case cases[] = {
      {"exactly at the limit", limit, false, true},
      {"exactly at the limit, chunked", limit, true, true},
      {"declared one byte over", limit + 1, false, false},
      {"chunked one byte over", limit + 1, true, false},
      {"chunked far over", limit * 3, true, false},
  };
  for (const Case& test : cases) {
    std::filesystem::remove(cachePath_);
    std::filesystem::remove(cachePath_ + ".metadata");
    product_ = services::UniqueName("p");
    const Bytes module = services::PatternBytes(test.size, 23);
    Publish(module);
    if (test.chunked) {
      const std::filesystem::path marker = std::filesystem::path(HostPath(QVL_TEST_CDN_ROOT)).parent_path() /
                                           "cdn-faults" / "chunked" / "modules" / product_ / "dep-1" / "win64";
      std::filesystem::create_directories(marker.parent_path());
      WriteBytes(marker, {});
    }
    const Outcome outcome = Run({.gameStarts = true});
    if (test.loads) {
      EXPECT_EQ(outcome.images, std::vector<Bytes>{module}) << test.name;
      EXPECT_TRUE(outcome.reports.empty()) << test.name;
      continue;
    }
    EXPECT_TRUE(outcome.images.empty()) << test.name;
    ASSERT_EQ(outcome.reports.size(), 1u) << test.name;
    EXPECT_EQ(outcome.reports[0].result, QVL_LoaderCdnTransferFailed) << test.name;
    EXPECT_EQ(outcome.reports[0].message.rfind("Connection to the Content Distribution Network failed!", 0), 0u)
        << test.name << ": " << outcome.reports[0].message;
    EXPECT_TRUE(outcome.keptPayload.empty()) << test.name;
    EXPECT_FALSE(std::filesystem::exists(cachePath_)) << test.name << ": the cache is not touched";
  }
}

// libcurl that cannot be set up fails the download once, like a connection
// that could not be made; an override reports its own failure instead.
TEST_F(ModuleDownloadTest, ATransferThatCannotBeSetUpIsReportedOnce) {
  const std::string failed = "Connection to the Content Distribution Network failed! Curl Code: 2!";
  Outcome outcome = Run({.transferSetupFails = true});
  EXPECT_TRUE(outcome.Logged("Failed to initialize curl!"));
  EXPECT_EQ(outcome.reports, (std::vector<Reported>{{QVL_LoaderCdnTransferFailed, failed}}));

  const std::string url = "https://" + Host() + "/builds/77/win64";
  WriteOverride("cdn=" + url + "\n");
  outcome = Run({.transferSetupFails = true});
  EXPECT_EQ(outcome.reports, (std::vector<Reported>{{QVL_LoaderOverrideFailed, "Connection failed: " + url}}));
}

TEST_F(ModuleDownloadTest, ACancelledDownloadEndsSilentlyWithoutTheCache) {
  LeaveCache(services::PatternBytes(20000, 17));
  Publish(services::PatternBytes(200000, 18));

  const Outcome outcome = Run({.answer = QVL_Cancel});
  EXPECT_TRUE(outcome.Logged("Operation cancelled by user"));
  EXPECT_TRUE(outcome.images.empty());
  EXPECT_TRUE(outcome.reports.empty());
  EXPECT_TRUE(std::filesystem::exists(cachePath_));
}

TEST_F(ModuleDownloadTest, TheGameDevEnvironmentUsesItsOwnHost) {
  const Bytes module = services::PatternBytes(9000, 19);
  Publish(module);
  // Only the GameDev host answers.
  const Outcome outcome = Run({.productionHost = ClosedHost(), .gameDevHost = Host(), .gameDev = true});
  EXPECT_EQ(outcome.images, std::vector<Bytes>{module});
  EXPECT_TRUE(outcome.reports.empty());
}

TEST_F(ModuleDownloadTest, AnOverrideOnTheCdnHostIsDownloadedButNeverCached) {
  const Bytes module = services::PatternBytes(12000, 20);
  const std::string build = services::UniqueName("b");
  std::string published, error;
  const std::string file = (scratch_.path() / "module.bin").string();
  WriteBytes(file, module);
  ASSERT_TRUE(cdn_tool::PublishModule(file, build, "dep-1", "win64", HostPath(QVL_TEST_CDN_ROOT), published, error));
  // The placeholders apply to an override too.
  WriteOverride("# test build\nCDN=https://" + Host() + "/modules/" + build + "/dep-1/{{system}}\n");

  const Outcome outcome = Run({.gameStarts = true});
  EXPECT_TRUE(outcome.Logged("CDN path overridden by local config file."));
  EXPECT_EQ(Boxes(), std::vector<std::string>{"Quarvel Launch Info: Downloading undeployed anti-cheat module, "
                                              "build id: N/A."});
  EXPECT_EQ(outcome.images, std::vector<Bytes>{module});
  EXPECT_TRUE(outcome.reports.empty());
  EXPECT_TRUE(outcome.keptPayload.empty());
  EXPECT_FALSE(std::filesystem::exists(cachePath_));
}

TEST_F(ModuleDownloadTest, AFailedOverrideIsReportedWithItsUrl) {
  const std::string url = "https://" + Host() + "/builds/1234/win64";
  WriteOverride("cdn=" + url + "\r\n");
  const Outcome outcome = Run({});
  EXPECT_EQ(Boxes(), std::vector<std::string>{"Quarvel Launch Info: Downloading undeployed anti-cheat module, "
                                              "build id: 1234."});
  EXPECT_EQ(outcome.reports, (std::vector<Reported>{{QVL_LoaderOverrideFailed, "Connection failed: " + url}}));
}

TEST_F(ModuleDownloadTest, AnOverrideToAnotherHostIsRefusedAndReportedWithItsUrl) {
  LeaveCache(services::PatternBytes(20000, 21));
  // The GameDev host is served by the same test CDN, but it is not the
  // production host this launch uses.
  const std::string url = ModuleUrl(deployment::GameDevModuleCdnHost());
  WriteOverride("cdn=" + url + "\n");

  const Outcome outcome = Run({});
  EXPECT_TRUE(outcome.Logged("Unexpected error. (Incorrect CDN url)"));
  EXPECT_FALSE(outcome.Logged("[Connection] Connecting to URL: " + url));
  EXPECT_TRUE(outcome.images.empty());
  // Neither the CDN nor the cache stands in for a refused override, and the
  // launch hears of it.
  EXPECT_EQ(outcome.reports, (std::vector<Reported>{{QVL_LoaderOverrideFailed, "Connection failed: " + url}}));
  EXPECT_TRUE(std::filesystem::exists(cachePath_));
}

}  // namespace
}  // namespace quarvel::launcher
