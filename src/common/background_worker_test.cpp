#include "common/background_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quarvel {
namespace {

using namespace std::chrono_literals;

// Records the order in which jobs ran, with the time of each run.
class Recorder {
 public:
  cBackgroundWorker::Job Job(std::string name, std::uint32_t priority = 1, bool returnValue = false) {
    cBackgroundWorker::Job job;
    job.priority = priority;
    job.function = [this, name, returnValue](void*) {
      std::lock_guard lock(mutex_);
      runs_.push_back({name, MonotonicNowNs()});
      return returnValue;
    };
    return job;
  }
  std::vector<std::string> Names() {
    std::lock_guard lock(mutex_);
    std::vector<std::string> names;
    for (const auto& run : runs_) names.push_back(run.name);
    return names;
  }
  std::int64_t TimeOf(std::size_t index) {
    std::lock_guard lock(mutex_);
    return runs_.at(index).timeNs;
  }
  bool WaitForRuns(std::size_t count, std::chrono::milliseconds limit = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
      {
        std::lock_guard lock(mutex_);
        if (runs_.size() >= count) return true;
      }
      std::this_thread::sleep_for(1ms);
    }
    return false;
  }

 private:
  struct Run {
    std::string name;
    std::int64_t timeNs;
  };
  std::mutex mutex_;
  std::vector<Run> runs_;
};

// A job that blocks until released, to hold the worker busy.
struct Gate {
  std::promise<void> entered;
  std::promise<void> release;
  cBackgroundWorker::Job Job() {
    cBackgroundWorker::Job job;
    auto releasedFuture = std::make_shared<std::shared_future<void>>(release.get_future().share());
    job.function = [this, releasedFuture](void*) {
      entered.set_value();
      releasedFuture->wait();
      return false;
    };
    return job;
  }
};

TEST(BackgroundWorker, RunsByPriorityThenPostingOrder) {
  Recorder recorder;
  cBackgroundWorker worker;
  // Posted before the thread starts, so the queue order alone decides.
  worker.Post(recorder.Job("low-1", 1), true, 0, 0);
  worker.Post(recorder.Job("high-1", 3), true, 0, 0);
  worker.Post(recorder.Job("low-2", 1), true, 0, 0);
  worker.Post(recorder.Job("mid", 2), true, 0, 0);
  worker.Post(recorder.Job("high-2", 3), true, 0, 0);
  worker.Post(recorder.Job("low-3", 1), true, 0, 0);
  ASSERT_TRUE(worker.Start());
  ASSERT_TRUE(recorder.WaitForRuns(6));
  EXPECT_EQ(recorder.Names(),
            (std::vector<std::string>{"high-1", "high-2", "mid", "low-1", "low-2", "low-3"}));
}

TEST(BackgroundWorker, DelayedJobWaitsAndDoesNotHoldBackDueJobs) {
  Recorder recorder;
  cBackgroundWorker worker;
  ASSERT_TRUE(worker.Start());
  const std::int64_t postedAt = MonotonicNowNs();
  worker.Post(recorder.Job("delayed"), true, 500, 0);
  worker.Post(recorder.Job("urgent-later", 2), true, 300, 0);  // higher priority, not yet due
  worker.Post(recorder.Job("now"), true, 0, 0);
  ASSERT_TRUE(recorder.WaitForRuns(3));
  EXPECT_EQ(recorder.Names(), (std::vector<std::string>{"now", "urgent-later", "delayed"}));
  EXPECT_GE(recorder.TimeOf(1) - postedAt, 300'000'000);
  EXPECT_GE(recorder.TimeOf(2) - postedAt, 500'000'000);
}

TEST(BackgroundWorker, RepeatsWhileTheFunctionAsksAndNeverForRunOnce) {
  cBackgroundWorker worker;
  ASSERT_TRUE(worker.Start());

  std::atomic<int> repeatingRuns{0};
  std::vector<std::int64_t> times;
  std::mutex timesLock;
  cBackgroundWorker::Job repeating;
  repeating.function = [&](void*) {
    std::lock_guard lock(timesLock);
    times.push_back(MonotonicNowNs());
    return ++repeatingRuns < 5;  // true four times, then false
  };
  worker.Post(repeating, false, 0, 100);

  std::atomic<int> onceRuns{0};
  cBackgroundWorker::Job once;
  once.function = [&](void*) {
    ++onceRuns;
    return true;
  };
  worker.Post(once, true, 0, 10);

  std::this_thread::sleep_for(900ms);
  EXPECT_EQ(repeatingRuns.load(), 5);
  EXPECT_EQ(onceRuns.load(), 1);
  std::lock_guard lock(timesLock);
  for (std::size_t i = 1; i < times.size(); ++i) EXPECT_GE(times[i] - times[i - 1], 100'000'000);
}

TEST(BackgroundWorker, PassesSharedContextAndKeepsItAliveUntilDone) {
  cBackgroundWorker worker;
  auto context = std::make_shared<int>(41);
  std::weak_ptr<int> watch = context;
  std::promise<int> seen;
  cBackgroundWorker::Job job;
  job.sharedContext = context;
  job.rawContext = nullptr;
  job.function = [&seen](void* raw) {
    seen.set_value(*static_cast<int*>(raw) + 1);
    return false;
  };
  worker.Post(job, true, 0, 0);
  job = {};
  context.reset();
  EXPECT_FALSE(watch.expired());  // held by the queued job
  ASSERT_TRUE(worker.Start());
  EXPECT_EQ(seen.get_future().get(), 42);
  worker.Stop();
  EXPECT_TRUE(watch.expired());
}

TEST(BackgroundWorker, IgnoresEmptyFunctions) {
  Recorder recorder;
  cBackgroundWorker worker;
  worker.Post(cBackgroundWorker::Job{}, true, 0, 0);
  worker.Post(recorder.Job("real"), true, 0, 0);
  ASSERT_TRUE(worker.Start());
  ASSERT_TRUE(recorder.WaitForRuns(1));
  EXPECT_EQ(recorder.Names(), std::vector<std::string>{"real"});
}

TEST(BackgroundWorker, StartTwiceLeavesOneThreadAndCanRestartAfterStop) {
  Recorder recorder;
  cBackgroundWorker worker;
  EXPECT_TRUE(worker.Start());
  EXPECT_FALSE(worker.Start());
  worker.Stop();
  EXPECT_FALSE(worker.IsRunning());
  worker.Post(recorder.Job("after-restart"), true, 0, 0);
  EXPECT_TRUE(worker.Start());
  EXPECT_TRUE(recorder.WaitForRuns(1));
}

TEST(BackgroundWorker, StopWhileIdleReturnsPromptly) {
  cBackgroundWorker worker;
  ASSERT_TRUE(worker.Start());
  std::this_thread::sleep_for(20ms);  // let the thread settle into its unlimited wait
  const auto begin = std::chrono::steady_clock::now();
  worker.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - begin, 1s);
}

TEST(BackgroundWorker, StopWaitsForTheRunningJobAndDiscardsTheRest) {
  Recorder recorder;
  Gate gate;
  auto worker = std::make_unique<cBackgroundWorker>();
  ASSERT_TRUE(worker->Start());
  worker->Post(gate.Job(), true, 0, 0);
  gate.entered.get_future().wait();
  auto pending = std::make_shared<int>(0);
  std::weak_ptr<int> pendingWatch = pending;
  cBackgroundWorker::Job queued = recorder.Job("queued");
  queued.sharedContext = pending;
  worker->Post(queued, true, 0, 0);
  pending.reset();
  queued = {};

  std::atomic<bool> stopped{false};
  std::thread stopper([&] {
    worker->Stop();
    stopped = true;
  });
  std::this_thread::sleep_for(100ms);
  EXPECT_FALSE(stopped.load());  // still inside the running job
  gate.release.set_value();
  stopper.join();
  EXPECT_TRUE(stopped.load());
  EXPECT_TRUE(recorder.Names().empty());
  EXPECT_FALSE(pendingWatch.expired());  // still queued, not run
  worker.reset();
  EXPECT_TRUE(pendingWatch.expired());  // discarded with the worker
}

TEST(BackgroundWorker, JobsMayPostToTheirOwnWorker) {
  Recorder recorder;
  cBackgroundWorker worker;
  cBackgroundWorker::Job first;
  first.function = [&](void*) {
    worker.Post(recorder.Job("posted-from-job"), true, 0, 0);
    return false;
  };
  ASSERT_TRUE(worker.Start());
  worker.Post(first, true, 0, 0);
  EXPECT_TRUE(recorder.WaitForRuns(1));
}

}  // namespace
}  // namespace quarvel
