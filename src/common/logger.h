#pragma once

#include <atomic>
#include <cstdarg>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "common/background_worker.h"

namespace quarvel {

enum class LogLevel : unsigned {
  Error = 1,
  Warning = 2,
  Info = 3,
  Verbose = 4,
  Detail = 5,  // the most detailed verbose messages
};

// Receives each finished line, without a line terminator, on the logger's
// thread and under the logger's lock.
using LogSink = std::function<void(unsigned level, const char* line)>;

// The process-wide logger. Any thread may log; the line is formatted on the
// calling thread and handed to a worker thread that passes it to the sink.
// Lines logged while no sink is attached are dropped, not buffered.
class cLogger {
 public:
  static constexpr unsigned kDefaultMaximumLevel = 3;
  static constexpr std::size_t kLineBufferSize = 1024;

  cLogger() = default;
  ~cLogger();
  cLogger(const cLogger&) = delete;
  cLogger& operator=(const cLogger&) = delete;

  void Log(LogLevel level, const char* format, ...) __attribute__((format(gnu_printf, 3, 4)));
  void LogV(LogLevel level, const char* format, va_list args);

  void AttachSink(LogSink sink, unsigned maximumLevel);

  bool StartWorker();
  // Waits (a few seconds at most) until every line accepted so far has
  // reached the sink.
  void Flush();
  // Delivers every line accepted so far, then stops the worker; lines logged
  // afterwards are dropped.
  void StopWorker();

 private:
  struct QueuedLine;
  static bool Deliver(void* context);

  LogSink sink_;
  std::mutex lock_;  // guards sink_ and every call into it
  // Read without the lock by every caller of Log.
  std::atomic<bool> hasSink_{false};
  std::atomic<unsigned> maximumLevel_{kDefaultMaximumLevel};
  std::atomic<bool> accepting_{true};
  std::atomic<int> callsInFlight_{0};  // Log calls between the accept test and the post
  cBackgroundWorker worker_;
};

// "[hh:mm:ss:mmm] [<platform>] [QVL Bootstrapper] [<tag>] " for the given
// UTC time in milliseconds since the epoch and level.
std::string FormatLinePrefix(std::int64_t utcMilliseconds, unsigned level);

// 5 when an argument is exactly "-v" or "--verbose", otherwise 3.
unsigned LogLevelFromArguments(const std::vector<std::string>& arguments);

// The logger every Log call goes to; set before the first Log call.
void SetActiveLogger(cLogger* logger);
cLogger* GetActiveLogger();

void Log(LogLevel level, const char* format, ...) __attribute__((format(gnu_printf, 2, 3)));

}  // namespace quarvel
