#include "common/logger.h"

#include <gtest/gtest.h>

#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "common/platform.h"

namespace quarvel {
namespace {

// Collects delivered lines.
class LineCollector {
 public:
  LogSink Sink() {
    return [this](unsigned level, const char* line) {
      std::lock_guard lock(mutex_);
      levels_.push_back(level);
      lines_.emplace_back(line);
    };
  }
  std::vector<std::string> Lines() {
    std::lock_guard lock(mutex_);
    return lines_;
  }

 private:
  std::mutex mutex_;
  std::vector<unsigned> levels_;
  std::vector<std::string> lines_;
};

std::string Body(const std::string& line) {
  const std::size_t at = line.find("] ", line.find("[QVL Bootstrapper]") + 18);
  return at == std::string::npos ? line : line.substr(at + 2);
}

TEST(Logger, LineHasTimePlatformProductTagAndMessage) {
  LineCollector collector;
  cLogger logger;
  ASSERT_TRUE(logger.StartWorker());
  logger.AttachSink(collector.Sink(), 3);
  logger.Log(LogLevel::Info, "Loaded the following settings .json file: '%s'", "C:\\Games\\Settings.json");
  logger.Log(LogLevel::Error, "code %d", 7);
  logger.Log(LogLevel::Warning, "careful");
  logger.StopWorker();

  const auto lines = collector.Lines();
  ASSERT_EQ(lines.size(), 3u);
  const std::string platform = kPlatformName;
  const std::regex shape(R"(\[\d\d:\d\d:\d\d:\d\d\d\] \[)" + platform +
                         R"(\] \[QVL Bootstrapper\] \[Info\] Loaded the following settings \.json file: 'C:\\Games\\Settings\.json')");
  EXPECT_TRUE(std::regex_match(lines[0], shape)) << lines[0];
  EXPECT_NE(lines[1].find("[Err!] code 7"), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find("[Warn] careful"), std::string::npos) << lines[2];
}

TEST(Logger, PrefixUsesUtcTimeOfDayAndTheLevelTags) {
  const std::string platform = kPlatformName;
  // 2026-12-09 14:03:27.512 UTC
  const std::int64_t ms = 1796911407512;
  EXPECT_EQ(FormatLinePrefix(ms, 3), "[14:03:27:512] [" + platform + "] [QVL Bootstrapper] [Info] ");
  EXPECT_EQ(FormatLinePrefix(1796947200000, 1).substr(0, 14), "[00:00:00:000]");  // midnight
  const std::pair<unsigned, const char*> tags[] = {
      {1, "[Err!]"}, {2, "[Warn]"}, {3, "[Info]"}, {4, "[Verb]"}, {5, "[Verb]"}, {9, "[<invalid>]"}};
  for (const auto& [level, tag] : tags) {
    EXPECT_NE(FormatLinePrefix(0, level).find(tag), std::string::npos) << level;
  }
}

TEST(Logger, LevelFilteringFollowsTheVerboseSwitch) {
  EXPECT_EQ(LogLevelFromArguments({"-windowed", "-v"}), 5u);
  EXPECT_EQ(LogLevelFromArguments({"--verbose"}), 5u);
  EXPECT_EQ(LogLevelFromArguments({"-V", "-verbose", "--Verbose", "-vv"}), 3u);
  EXPECT_EQ(LogLevelFromArguments({}), 3u);

  for (unsigned maximum : {3u, 5u}) {
    LineCollector collector;
    cLogger logger;
    ASSERT_TRUE(logger.StartWorker());
    logger.AttachSink(collector.Sink(), maximum);
    logger.Log(LogLevel::Info, "info");
    logger.Log(LogLevel::Verbose, "verbose");
    logger.Log(LogLevel::Detail, "detail");
    logger.StopWorker();
    std::vector<std::string> bodies;
    for (const auto& line : collector.Lines()) bodies.push_back(Body(line));
    if (maximum == 3) {
      EXPECT_EQ(bodies, std::vector<std::string>{"info"});
    } else {
      EXPECT_EQ(bodies, (std::vector<std::string>{"info", "verbose", "detail"}));
      EXPECT_NE(collector.Lines()[2].find("[Verb] detail"), std::string::npos);
    }
  }
}

TEST(Logger, LongMessagesAreCutTo1023Characters) {
  LineCollector collector;
  cLogger logger;
  ASSERT_TRUE(logger.StartWorker());
  logger.AttachSink(collector.Sink(), 3);
  logger.Log(LogLevel::Info, "%s", std::string(2000, 'x').c_str());
  logger.StopWorker();
  ASSERT_EQ(collector.Lines().size(), 1u);
  EXPECT_EQ(collector.Lines()[0].size(), 1023u);
}

TEST(Logger, LinesBeforeTheSinkIsAttachedAreDropped) {
  LineCollector collector;
  cLogger logger;
  ASSERT_TRUE(logger.StartWorker());
  logger.Log(LogLevel::Error, "too early");
  logger.AttachSink(collector.Sink(), 3);
  logger.Log(LogLevel::Info, "in time");
  logger.StopWorker();
  ASSERT_EQ(collector.Lines().size(), 1u);
  EXPECT_EQ(Body(collector.Lines()[0]), "in time");
}

TEST(Logger, StopDeliversEveryAcceptedLineAndRefusesLaterOnes) {
  LineCollector collector;
  cLogger logger;
  ASSERT_TRUE(logger.StartWorker());
  logger.AttachSink(collector.Sink(), 3);
  for (int i = 0; i < 500; ++i) logger.Log(LogLevel::Info, "line %d", i);
  logger.Log(LogLevel::Info, "Terminating with: %i.", 0);
  logger.StopWorker();
  logger.Log(LogLevel::Info, "after the stop");

  const auto lines = collector.Lines();
  ASSERT_EQ(lines.size(), 501u);
  EXPECT_EQ(Body(lines.back()), "Terminating with: 0.");
}

TEST(Logger, LinesFromTwoThreadsArriveWholeAndInCallOrder) {
  LineCollector collector;
  cLogger logger;
  ASSERT_TRUE(logger.StartWorker());
  logger.AttachSink(collector.Sink(), 3);
  const std::string filler(300, '.');
  auto writer = [&](char name) {
    for (int i = 0; i < 300; ++i) logger.Log(LogLevel::Info, "%c %d %s", name, i, filler.c_str());
  };
  std::thread a(writer, 'a');
  std::thread b(writer, 'b');
  a.join();
  b.join();
  logger.StopWorker();

  const auto lines = collector.Lines();
  ASSERT_EQ(lines.size(), 600u);
  int next[2] = {0, 0};
  for (const auto& line : lines) {
    const std::string body = Body(line);
    const int who = body[0] == 'a' ? 0 : 1;
    ASSERT_EQ(body, std::string(1, body[0]) + " " + std::to_string(next[who]) + " " + filler);
    ++next[who];
  }
}

TEST(Logger, ProcessWideLogGoesToTheActiveLogger) {
  LineCollector collector;
  cLogger logger;
  ASSERT_TRUE(logger.StartWorker());
  logger.AttachSink(collector.Sink(), 3);
  SetActiveLogger(&logger);
  Log(LogLevel::Warning, "through the global %s", "entry");
  SetActiveLogger(nullptr);
  Log(LogLevel::Warning, "nobody listens");
  logger.StopWorker();
  ASSERT_EQ(collector.Lines().size(), 1u);
  EXPECT_EQ(Body(collector.Lines()[0]), "through the global entry");
}

}  // namespace
}  // namespace quarvel
