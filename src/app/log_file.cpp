#include <filesystem>

#include "app/anticheat_launcher.h"
#include "common/platform.h"

namespace quarvel::launcher {

void AntiCheatLauncher::OpenLogFile() {
  if (!logFile_.is_open()) {
    std::string directory;
    if (!GetProductCacheDirectory(directory, settings_.productid, settings_.deploymentid)) {
      // No sink is attached yet, so this line is dropped like every early one.
      Log(LogLevel::Error, "Failed to retrieve the cache directory path, log files will be unavailable!");
      directory.clear();
    }
    if (!directory.empty()) {
      // A new file per run. The stream lets other processes read the file
      // while it is open.
      const std::u8string path(reinterpret_cast<const char8_t*>(directory.c_str()));
      logFile_.open(std::filesystem::path(path + u8"anticheatlauncher.log"), std::ios::out | std::ios::trunc);
    }
  }
  logger_.AttachSink([this](unsigned level, const char* line) { WriteLogLine(level, line); }, logLevel_);
}

void AntiCheatLauncher::WriteLogLine(unsigned level, const char* line) {
  if (level > logLevel_ || !logFile_.is_open()) return;
  // Flushed line by line, so every line is on disk before the next is taken.
  logFile_ << line << std::endl;
}

}  // namespace quarvel::launcher
