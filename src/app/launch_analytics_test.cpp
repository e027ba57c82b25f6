#include "app/launch_analytics.h"

#include <gtest/gtest.h>

#include <string>

namespace quarvel::launcher {
namespace {

constexpr std::int64_t kMs = 1'000'000;

// "Name: Key=value(raw) ..." for compact comparisons.
std::vector<std::string> Describe(const std::vector<Analytics::EventDescriptor>& events) {
  std::vector<std::string> described;
  for (const auto& event : events) {
    std::string text = event.name + ":";
    for (const auto& attribute : event.attributes) {
      text += " " + attribute.key + "=" + attribute.value + (attribute.raw != 0 ? "" : "(quoted)");
    }
    described.push_back(text);
  }
  return described;
}

LaunchFigures SuccessfulDownload() {
  LaunchFigures figures;
  figures.launchResult = 301;
  figures.maxBytesDone = 2 * 1024 * 1024;
  figures.maxBytesTotal = 2 * 1024 * 1024;
  figures.initStart = 1000 * kMs;
  figures.downloadStart = 1100 * kMs;
  figures.downloadEnd = 3100 * kMs;  // 2000 ms: 1024 KiB/s
  figures.pollStart = 4000 * kMs;
  figures.windowVisibleTime = 6000 * kMs;
  return figures;
}

TEST(LaunchAnalytics, SuccessfulLaunchReportsAllFourEventsInOrder) {
  const auto events = ComposeLaunchEvents(SuccessfulDownload(), 7000 * kMs);
  EXPECT_EQ(Describe(events),
            (std::vector<std::string>{
                "AntiCheat.Info.BootstrapperResult: LaunchResult=301",
                "AntiCheat.Info.BootstrapperDownloadPerf: DownloadCancelledByUser=0 "
                "DownloadBytesCompleted=2097152 DownloadBytesTotal=2097152 DownloadDurationMs=2000 "
                "DownloadRateKBPS=1024",
                "AntiCheat.Info.BootstrapperInitPerf: TotalDurationMs=6000 DownloadDurationMs=2000 "
                "InitDurationMs=4000",
                "AntiCheat.Info.BootstrapperGameWindowVisibilityCheckDuration: WaitDurationMs=2000",
            }));
}

TEST(LaunchAnalytics, EachEventOnlyUnderItsCondition) {
  struct Case {
    const char* name;
    void (*change)(LaunchFigures&);
    std::vector<std::string> eventNames;
  };
  const std::string result = "AntiCheat.Info.BootstrapperResult";
  const std::string download = "AntiCheat.Info.BootstrapperDownloadPerf";
  const std::string init = "AntiCheat.Info.BootstrapperInitPerf";
  const std::string window = "AntiCheat.Info.BootstrapperGameWindowVisibilityCheckDuration";
  const Case cases[] = {
      {"failed launch", [](LaunchFigures& f) { f.launchResult = 204; }, {result, download}},
      {"cached module, nothing downloaded", [](LaunchFigures& f) { f.maxBytesDone = 0; }, {result, init, window}},
      {"1024 bytes are not enough", [](LaunchFigures& f) { f.maxBytesDone = 1024; }, {result, init, window}},
      {"no measurable time", [](LaunchFigures& f) { f.downloadEnd = f.downloadStart; }, {result, init, window}},
      {"game window never seen", [](LaunchFigures& f) { f.windowVisibleTime = 0; }, {result, download, init}},
  };
  for (const Case& c : cases) {
    LaunchFigures figures = SuccessfulDownload();
    c.change(figures);
    std::vector<std::string> names;
    for (const auto& event : ComposeLaunchEvents(figures, 7000 * kMs)) names.push_back(event.name);
    EXPECT_EQ(names, c.eventNames) << c.name;
  }
}

TEST(LaunchAnalytics, CancelledDownloadAndLongWaitAreReportedAsSuch) {
  LaunchFigures cancelled = SuccessfulDownload();
  cancelled.launchResult = 101;
  EXPECT_EQ(ComposeLaunchEvents(cancelled, 0)[1].attributes[0].value, "1");

  LaunchFigures slowWindow = SuccessfulDownload();
  slowWindow.windowVisibleTime = slowWindow.pollStart + 61'000 * kMs;
  EXPECT_EQ(ComposeLaunchEvents(slowWindow, 0).back().attributes[0].value, "60000");
}

TEST(LaunchAnalytics, DownloadTimeIsZeroWhileAnEndIsUnset) {
  LaunchFigures figures;
  figures.downloadStart = 5 * kMs;
  EXPECT_EQ(DownloadMilliseconds(figures), 0);
  EXPECT_EQ(DownloadRateKiBPerSecond(figures), 0.0f);  // not 0/0
  figures.downloadEnd = 1234 * kMs + 999'999;
  EXPECT_EQ(DownloadMilliseconds(figures), 1229);
}

}  // namespace
}  // namespace quarvel::launcher
