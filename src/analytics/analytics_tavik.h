#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "analytics/analytics_event.h"
#include "common/background_worker.h"
#include "common/manual_reset_event.h"

namespace quarvel {

// Sends batches of analytics events to the telemetry service, one HTTPS POST
// of a JSON document per batch and destination. Delivery is best effort: a
// failed batch is dropped without a retry or a log line.
class AnalyticsTavik {
 public:
  enum class Destinations : int {
    SdkEvents = 0,
    EventStream = 1,
    Both = 2,  // SdkEvents first
  };

  // Lets the poster of a batch wait until the worker has begun sending it.
  class BatchHandle {
   public:
    BatchHandle() = default;
    explicit BatchHandle(std::shared_ptr<cManualResetEvent> taken) : taken_(std::move(taken)) {}
    // True once the worker runs (or has run) the batch; false after `limit`.
    bool WaitUntilTaken(std::chrono::milliseconds limit) const;

   private:
    std::shared_ptr<cManualResetEvent> taken_;
  };

  // Publishes the product's identity for every later batch and creates the
  // process's session id on the first call.
  static void SetIdentity(const std::string& productId, const std::string& sandboxId,
                          const std::string& deploymentId);

  // Copies `events` into a batch and queues it on `worker` to run once. The
  // caller need not keep the events, nor wait for the network.
  static BatchHandle LogEventsAsync(cBackgroundWorker& worker, Destinations destination,
                                    const std::vector<Analytics::EventDescriptor>& events);

  // Builds the body and posts it; true when every post was accepted (2xx).
  // Sends nothing before SetIdentity, for an empty batch, or when any event
  // lacks a name or attributes.
  static bool SendEvents(Destinations destination, const std::vector<Analytics::EventDescriptor>& events);

  // One POST of `body` to SdkEvents or EventStream; true for a 2xx answer.
  static bool PostToDestination(Destinations destination, const std::string& body);

  // The endpoint of SdkEvents or EventStream for this process's session;
  // empty for Both.
  static std::string EndpointUrl(Destinations destination);

  // Empty until the first SetIdentity.
  static std::string SessionId();
};

}  // namespace quarvel
