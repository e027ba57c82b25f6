#pragma once

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "common/testing/test_binaries.h"
#include "launch/delivery/scramble.h"
#include "launch/game_launcher.h"
#include "launch/launcher_settings.h"

// Test helpers: a protected launch of the sample game through cGameLauncher,
// with a platform loader that is handed the sample module's bytes in place
// of a download.
namespace quarvel::launcher::test_support {

struct Finished {
  std::int32_t result;
  std::string message;
  bool operator==(const Finished&) const = default;
};

// `Loader` with its thread body replaced: the payload goes to LoadModule.
template <class Loader>
class PayloadLoader : public Loader {
 public:
  template <class... Extra>
  PayloadLoader(std::vector<std::uint8_t> payload, const std::vector<std::string>& arguments, Extra... extra)
      : Loader(arguments, extra...), payload_(std::move(payload)) {}
  ~PayloadLoader() override { this->Shutdown(); }

 protected:
  void Run() override { this->LoadModule(payload_); }

 private:
  std::vector<std::uint8_t> payload_;
};

// `Loader` handed the module as the CDN sends it: the payload is the module
// scrambled, and goes to LoadPayload.
template <class Loader>
class ScrambledPayloadLoader : public Loader {
 public:
  template <class... Extra>
  ScrambledPayloadLoader(const std::vector<std::uint8_t>& module, const std::vector<std::string>& arguments,
                         Extra... extra)
      : Loader(arguments, extra...), payload_(module) {
    ScrambleModule(payload_);
  }
  ~ScrambledPayloadLoader() override { this->Shutdown(); }

  // What the loader is handed, as it is now; a test may change it before
  // the launch starts.
  std::vector<std::uint8_t>& Payload() { return payload_; }

 protected:
  void Run() override { this->LoadPayload(payload_); }

 private:
  std::vector<std::uint8_t> payload_;
};

// One launch of `executable` in the test binaries' directory; collects what
// reaches the caller.
class SampleLaunch {
 public:
  explicit SampleLaunch(std::unique_ptr<cModuleLoader> loader) {
    settings_.productid = "sample-product";
    settings_.sandboxid = "sample-sandbox";
    settings_.deploymentid = "sample-deployment";
    launcher_ = std::make_unique<cGameLauncher>(settings_, false, std::move(loader));
    launcher_->SetLocalization(TestBinaryDirectory(), "en", "us");
  }
  ~SampleLaunch() { End(); }

  void Start(const std::string& executable, const std::vector<std::string>& arguments) {
    launcher_->StartModuleDownload(
        executable.c_str(), arguments, TestBinaryDirectory().c_str(),
        [](std::uint32_t, std::uint32_t) { return QVL_Continue; },
        [this](QVL_ProtectedGameLaunchResult result, const char* message) {
          std::lock_guard lock(lock_);
          finished_.push_back({result, message != nullptr ? message : "(null)"});
          changed_.notify_all();
        });
  }

  // Waits for the first result (or the time limit), then a little for any
  // that follow it.
  std::vector<Finished> Results(std::chrono::seconds limit = std::chrono::seconds(60)) {
    std::unique_lock lock(lock_);
    changed_.wait_for(lock, limit, [this] { return !finished_.empty(); });
    changed_.wait_for(lock, std::chrono::milliseconds(300), [] { return false; });
    return finished_;
  }

  cGameLauncher& Launcher() { return *launcher_; }
  // Shuts the loader and the module down.
  void End() { launcher_.reset(); }

 private:
  cLauncherSettings settings_;
  std::unique_ptr<cGameLauncher> launcher_;
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<Finished> finished_;
};

inline std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

}  // namespace quarvel::launcher::test_support
