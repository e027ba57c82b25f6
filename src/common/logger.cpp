#include "common/logger.h"

#include <chrono>
#include <cstdio>
#include <future>
#include <thread>

#include "common/platform.h"
#include "common/strings.h"

namespace quarvel {
namespace {

std::atomic<cLogger*> activeLogger{nullptr};

const char* LevelTag(unsigned level) {
  switch (level) {
    case 1: return "Err!";
    case 2: return "Warn";
    case 3: return "Info";
    case 4:
    case 5: return "Verb";
    default: return "<invalid>";
  }
}

std::int64_t UtcNowMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// How long the final flush may wait for a sink that is stuck (a hung disk):
// a few seconds of lost lines are better than a process that never exits.
constexpr auto kFlushTimeLimit = std::chrono::seconds(5);

}  // namespace

struct cLogger::QueuedLine {
  cLogger* logger;
  unsigned level;
  std::string line;
};

cLogger::~cLogger() { worker_.Stop(); }

void cLogger::Log(LogLevel level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  LogV(level, format, args);
  va_end(args);
}

void cLogger::LogV(LogLevel level, const char* format, va_list args) {
  const auto levelNumber = static_cast<unsigned>(level);
  if (!hasSink_.load() || levelNumber > maximumLevel_.load() || format == nullptr) return;

  callsInFlight_.fetch_add(1);
  if (!accepting_.load()) {
    callsInFlight_.fetch_sub(1);
    return;
  }
  const std::string lineFormat = FormatLinePrefix(UtcNowMilliseconds(), levelNumber) + format;
  char buffer[kLineBufferSize];
  // Longer output is cut to kLineBufferSize - 1 characters and still kept.
  const int length = std::vsnprintf(buffer, sizeof(buffer), lineFormat.c_str(), args);
  if (length > 0) {
    cBackgroundWorker::Job job;
    job.function = &cLogger::Deliver;
    job.sharedContext = std::make_shared<QueuedLine>(QueuedLine{this, levelNumber, buffer});
    worker_.Post(job, true, 0, 0);
  }
  callsInFlight_.fetch_sub(1);
}

bool cLogger::Deliver(void* context) {
  auto* queued = static_cast<QueuedLine*>(context);
  cLogger* logger = queued->logger;
  std::lock_guard lock(logger->lock_);
  if (logger->sink_) logger->sink_(queued->level, queued->line.c_str());
  return false;
}

void cLogger::AttachSink(LogSink sink, unsigned maximumLevel) {
  std::lock_guard lock(lock_);
  sink_ = std::move(sink);
  maximumLevel_.store(maximumLevel);
  hasSink_.store(static_cast<bool>(sink_));
}

bool cLogger::StartWorker() { return worker_.Start(); }

void cLogger::StopWorker() {
  accepting_.store(false);
  // A Log call that passed the accept test finishes its post before the
  // flush marker goes in behind it.
  while (callsInFlight_.load() != 0) std::this_thread::yield();
  Flush();
  worker_.Stop();
}

void cLogger::Flush() {
  if (!worker_.IsRunning()) return;
  // Lines are delivered in posting order, so once a marker posted now has
  // run, every line accepted before it has reached the sink.
  auto delivered = std::make_shared<std::promise<void>>();
  std::future<void> done = delivered->get_future();
  cBackgroundWorker::Job marker;
  marker.function = [](void* context) {
    static_cast<std::promise<void>*>(context)->set_value();
    return false;
  };
  marker.sharedContext = delivered;
  worker_.Post(marker, true, 0, 0);
  done.wait_for(kFlushTimeLimit);
}

std::string FormatLinePrefix(std::int64_t utcMilliseconds, unsigned level) {
  constexpr std::int64_t kDayMs = 24LL * 60 * 60 * 1000;
  std::int64_t ofDay = utcMilliseconds % kDayMs;
  if (ofDay < 0) ofDay += kDayMs;
  const auto hour = static_cast<unsigned>(ofDay / 3'600'000);
  const auto minute = static_cast<unsigned>(ofDay / 60'000 % 60);
  const auto second = static_cast<unsigned>(ofDay / 1000 % 60);
  const auto millisecond = static_cast<unsigned>(ofDay % 1000);
  char time[128];
  if (FormatString(time, sizeof(time), "%02u:%02u:%02u:%03u", hour, minute, second, millisecond) <= 0) {
    FormatString(time, sizeof(time), "%s", "00:00:00:000");
  }
  return std::string("[") + time + "] [" + kPlatformName + "] [QVL Bootstrapper] [" + LevelTag(level) +
         "] ";
}

unsigned LogLevelFromArguments(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments) {
    if (argument == "-v" || argument == "--verbose") return 5;
  }
  return cLogger::kDefaultMaximumLevel;
}

void SetActiveLogger(cLogger* logger) { activeLogger.store(logger); }

cLogger* GetActiveLogger() { return activeLogger.load(); }

void Log(LogLevel level, const char* format, ...) {
  cLogger* logger = activeLogger.load();
  if (logger == nullptr) return;
  va_list args;
  va_start(args, format);
  logger->LogV(level, format, args);
  va_end(args);
}

}  // namespace quarvel
