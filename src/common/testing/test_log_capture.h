#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "common/logger.h"

// Test helper: collects the lines logged through the global Log, every level
// included, without their prefix.
namespace quarvel::launcher::test_support {

class LogCapture {
 public:
  struct Line {
    unsigned level;
    std::string text;
    bool operator==(const Line&) const = default;
  };

  LogCapture() {
    logger_.StartWorker();
    logger_.AttachSink(
        [this](unsigned level, const char* line) {
          std::lock_guard lock(mutex_);
          lines_.push_back({level, Body(line)});
        },
        5);
    SetActiveLogger(&logger_);
  }
  ~LogCapture() { Stop(); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  // Every line logged so far; nothing is captured afterwards.
  std::vector<Line> Stop() {
    SetActiveLogger(nullptr);
    logger_.StopWorker();
    std::lock_guard lock(mutex_);
    return lines_;
  }

 private:
  // The text after the prefix's four bracketed fields.
  static std::string Body(const std::string& line) {
    std::size_t at = 0;
    for (int field = 0; field < 4 && at != std::string::npos; ++field) {
      at = line.find("] ", at);
      if (at != std::string::npos) at += 2;
    }
    return at == std::string::npos ? line : line.substr(at);
  }

  cLogger logger_;
  std::mutex mutex_;
  std::vector<Line> lines_;
};

}  // namespace quarvel::launcher::test_support
