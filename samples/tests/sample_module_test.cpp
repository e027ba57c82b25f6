#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sample_module_library.h"
#include "sample_module_test_support.h"

namespace quarvel::samples::test_support {
namespace {

using ::testing::ElementsAreArray;
using ::testing::IsSupersetOf;

// An expected report; the message is not compared.
Received R(int version, std::int32_t code) {
  Received report;
  report.version = version;
  report.code = code;
  return report;
}

class SampleModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(LoadSampleModule(entries_, error)) << error;
    received.clear();
    SetEnvironment("QVL_SAMPLE_MODULE_LOG", nullptr);
  }
  void TearDown() override { SetEnvironment("QVL_SAMPLE_MODULE_MODE", nullptr); }

  SampleModuleEntries entries_;
};

TEST_F(SampleModuleTest, FollowsItsMode) {
  struct Case {
    const char* mode;
    std::uint8_t result;
    bool retried;
    std::vector<Received> reports;
  };
  const Case cases[] = {
      {"", 1, false, {R(2, QVL_LoaderCreateGameProcess), R(2, QVL_LoaderGameStarted)}},
      {"v1", 1, true, {R(1, QVL_V1CreateGameProcess), R(1, QVL_V1GameStarted)}},
      {"init=7", 7, false, {}},
      {"init=0", 0, true, {}},
      {"error", 1, false, {R(2, QVL_LoaderModuleError)}},
      {"v1,error", 1, true, {R(1, QVL_V1ModuleError)}},
      {"silent", 1, false, {}},
      {"codes=1003/0/510", 1, false, {R(2, 1003), R(2, 0), R(2, 510)}},
      {"v1,codes=902", 1, true, {R(1, 902)}},
      {"delay=20,gap=20", 1, false, {R(2, QVL_LoaderCreateGameProcess), R(2, QVL_LoaderGameStarted)}},
      // Without the game's host path in the record the module cannot start
      // the game itself and asks for it.
      {"start=self", 1, false, {R(2, QVL_LoaderCreateGameProcess), R(2, QVL_LoaderGameStarted)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    SetEnvironment("QVL_SAMPLE_MODULE_MODE", c.mode);
    received.clear();
    StartRecordData data;
    bool retried = false;
    EXPECT_EQ(InitializeAsTheBootstrapperDoes(entries_.initialize, data, retried), c.result);
    EXPECT_EQ(retried, c.retried);
    EXPECT_THAT(received, ElementsAreArray(c.reports));
  }
}

TEST_F(SampleModuleTest, HandsBackTheContextAndAMessage) {
  StartRecordData data;
  bool retried = false;
  InitializeAsTheBootstrapperDoes(entries_.initialize, data, retried);
  ASSERT_FALSE(received.empty());
  for (const Received& report : received) {
    EXPECT_EQ(report.context, &data);
    EXPECT_FALSE(report.message.empty());
  }
}

TEST_F(SampleModuleTest, LogsWhatItWasGiven) {
  const std::filesystem::path log =
      std::filesystem::temp_directory_path() / ("qvl-sample-module-" + std::to_string(UniqueNumber()) + ".log");
  SetEnvironment("QVL_SAMPLE_MODULE_LOG", log.string().c_str());
  const QVL_LanguageRecord language{QVL_LanguageRecordVersion, "en", "us"};
  entries_.setLanguage(&language);
  StartRecordData data;
  bool retried = false;
  InitializeAsTheBootstrapperDoes(entries_.initialize, data, retried);
  const std::int32_t reason = QVL_ShutdownReasonExit;
  entries_.shutdown(&reason);
  SetEnvironment("QVL_SAMPLE_MODULE_LOG", nullptr);

  std::vector<std::string> lines;
  std::ifstream file(log);
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  file.close();
  std::filesystem::remove(log);
  EXPECT_THAT(lines, IsSupersetOf({
                         std::string("set-language version=1 language=en region=us"),
                         std::string("initialize version=2 product=product-id sandbox=sandbox-id "
                                     "deployment=deployment-id unix-path=(null) argument-count=0"),
                         std::string("report code=508 process-id=0"),
                         std::string("report code=1002 process-id=0"),
                         std::string("shutdown reason=1"),
                     }));
}

}  // namespace
}  // namespace quarvel::samples::test_support
