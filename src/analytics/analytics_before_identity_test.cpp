#include <gtest/gtest.h>

#include <string>

#include "analytics/analytics_tavik.h"
#include "analytics/collector_records.h"
#include "common/manual_reset_event.h"
#include "net/test_services.h"

namespace quarvel {
namespace {

using namespace test_support;
using Destinations = AnalyticsTavik::Destinations;

// This process never set the identity before: batches are dropped until it
// is, and the first SetIdentity starts the session.
TEST(AnalyticsBeforeIdentity, DropsBatchesUntilTheIdentityIsSet) {
  ASSERT_EQ(AnalyticsTavik::SessionId(), "");
  const std::string early = UniqueName("early");
  const std::vector<Analytics::EventDescriptor> earlyBatch{{early, {{"A", "1", 1}}}};
  EXPECT_FALSE(AnalyticsTavik::SendEvents(Destinations::Both, earlyBatch));

  cBackgroundWorker worker;
  ASSERT_TRUE(worker.Start());
  AnalyticsTavik::LogEventsAsync(worker, Destinations::SdkEvents, earlyBatch);
  // A marker queued behind the batch: once it runs, the batch has run.
  auto done = std::make_shared<cManualResetEvent>();
  cBackgroundWorker::Job marker;
  marker.function = [done](void*) {
    done->Set();
    return false;
  };
  worker.Post(marker, true, 0, 0);
  ASSERT_TRUE(done->Wait(std::chrono::seconds(20)));

  AnalyticsTavik::SetIdentity("qvl-analytics-test", "sandbox-7", "dev");
  EXPECT_EQ(AnalyticsTavik::SessionId().size(), 36u);
  const std::string late = UniqueName("late");
  AnalyticsTavik::LogEventsAsync(worker, Destinations::SdkEvents, {{late, {{"A", "1", 1}}}});
  EXPECT_EQ(WaitForRecordsContaining(late, std::chrono::seconds(20)).size(), 1u);
  worker.Stop();
  EXPECT_TRUE(RecordsContaining(early).empty());
}

}  // namespace
}  // namespace quarvel
