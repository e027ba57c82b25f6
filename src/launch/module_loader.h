#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "common/worker_thread.h"
#include "launch/delivery/module_cache.h"
#include "launch/process/process_handle.h"
#include "localization/localization.h"
#include "quarvel/module_interface.h"

namespace quarvel {
class cHttpTransfer;
}

namespace quarvel::launcher {

// Bytes received and bytes expected so far; the answer decides whether the
// transfer goes on.
using ProgressCallback =
    std::function<QVL_ModuleDownloadProgressResult(std::uint32_t received, std::uint32_t expected)>;
// A result code and its message (UTF-8, may be null).
using ResultCallback = std::function<void(QVL_ProtectedGameLaunchResult result, const char* message)>;

// Shows the player a blocking information box (UTF-8 title and text). The
// program installs one that honours its switches (none while errors end the
// process at once); until then nothing is shown.
using InformationBox = void (*)(const char* title, const char* text);
void SetInformationBox(InformationBox box);

// The worker side of a protected launch. On a thread of its own it fetches the
// anti-cheat module, loads it and starts it; the module then reports through
// it. Every outcome leaves as one loader-level code through the result
// callback. A platform's loader provides the thread body, the game process
// creation, the module cache location and the module loading; its destructor
// calls Shutdown, so that the thread never runs into a half-destroyed loader.
class cModuleLoader : public cWorkerThread {
 public:
  // Keeps a copy of the game's arguments for the module.
  explicit cModuleLoader(const std::vector<std::string>& arguments);
  ~cModuleLoader() override;

  // Takes the callbacks and the launch parameters, checks the game paths and
  // starts the thread. False when the paths are refused (501, and the
  // callbacks are released) or the thread cannot start (502); either is
  // reported before returning.
  virtual bool Initialize(ProgressCallback progressCallback, ResultCallback resultCallback,
                          const std::string& gameBinaryPath, const std::string& workingDirectory,
                          const std::string& systemName, const std::string& productId,
                          const std::string& sandboxId, const std::string& deploymentId, bool isGameDev);

  // Starts the game. True when a process with a non-zero id was created; a
  // failure is reported as 502 by the loader itself.
  virtual bool CreateGameProcess(const std::string& path, const std::vector<std::string>& arguments,
                                 const std::string& workingDirectory) = 0;
  virtual std::uint32_t GetGameProcessId();
  // A new handle to the game process, owned by the caller; empty when there
  // is none.
  virtual ProcessHandle GetGameProcessHandle();
  // The override URL from the game's override file (the game binary's path
  // + ".qvl"); empty when there is none.
  virtual std::string ReadCdnOverride();
  // Where the module cache of this product, deployment and system lies;
  // empty when an id is missing or the directory cannot be made.
  virtual std::string GetModuleCachePath();
  // Called from inside the transfer; true to cancel it.
  virtual bool ReportProgress(std::uint64_t received, std::uint64_t expected);
  // The same as a result; a platform loader usually answers with the string
  // form.
  virtual bool GetModuleCachePath(std::string& path) = 0;
  // Makes the unscrambled image's entries callable and starts the module;
  // reports its own failures.
  virtual void LoadModule(const std::vector<std::uint8_t>& image) = 0;
  // The same for the payload as the CDN sent it, which stays as it is (the
  // cache keeps it). By default a copy is unscrambled for LoadModule; a
  // loader that has a place of its own to load the module from unscrambles
  // straight into that place instead.
  virtual void LoadPayload(std::span<const std::uint8_t> payload);

  // Forgets the previous language; with a non-empty directory takes the
  // given language and region (each may be null) and loads the catalogue.
  void SetLocalization(const std::string& directory, const char* language, const char* region);

  // Hands a result to the result callback; does nothing without one. Any
  // thread may report: the loader's, or one of the module's.
  void Report(QVL_ProtectedGameLaunchResult result, const char* message);

  // Reports 501 with the reason and returns false when the game binary or
  // the working directory is unusable.
  bool ValidateGamePaths(const std::string& path, const std::string& workingDirectory);

  // One GET of `url` (placeholders filled) from the CDN of the current
  // environment, revalidating a valid cache by its ETag. True when a module
  // was handed to LoadModule. On failure the cache stands in when
  // `reportErrors` is set (except when the backend said the service is off),
  // else the failure is reported. `cancelled` is set when the download ended
  // with nothing to report: cancelled by the player. A URL on another host is refused without a connection and
  // left to the caller to report. A transfer that cannot be set up fails like
  // one that could not connect.
  bool DownloadModule(const std::string& url, bool reportErrors, bool& cancelled);
  // Hands the cached module to LoadModule, consuming the cache files; false
  // when there is no valid, non-empty cache.
  bool LoadCachedModule();

  // Stops the thread and waits for it without limit, then shuts the module
  // down, keeps a module that started the game in the cache, and drops the
  // callbacks. Safe to call more than once.
  void Shutdown();

  void SetGameLaunched() { gameLaunched_ = true; }
  // True once the module reported anything but its request to start the game.
  bool LaunchResultReported() const { return launchResultReported_.load(); }
  bool GameLaunched() const { return gameLaunched_; }

 protected:
  // Downloads the module, from the override URL when the game has one, and
  // loads it. Reports nothing else on its own.
  void Run() override;

  // Sets up the transfer of DownloadModule; false when libcurl cannot be used.
  virtual bool InitializeTransfer(cHttpTransfer& transfer);

  // Calls the module's shutdown entry once, when the module was loaded. A
  // loader whose module uses another calling convention replaces this.
  virtual void ShutdownModule();

  // Launch parameters, set by Initialize before the thread starts.
  std::string gameBinaryPath_;
  std::string systemName_;
  std::string productId_;
  std::string sandboxId_;
  std::string deploymentId_;
  bool isGameDev_ = false;

  std::string language_;
  std::string region_;

  // Filled by LoadModule; null until then.
  QVL_InitializeEntry initializeEntry_ = nullptr;
  QVL_ShutdownEntry shutdownEntry_ = nullptr;
  QVL_ReservedEntry reservedEntry_ = nullptr;
  QVL_SetLanguageEntry setLanguageEntry_ = nullptr;

  const std::vector<std::string> arguments_;
  // Set by CreateGameProcess or by the module's report, read by the caller.
  std::atomic<std::uint32_t> gameProcessId_{0};
  // Every loader message is looked up here.
  cLocalization catalogue_;

  // The module CDN hosts ("name" or "name:port") of the deployment.
  std::string productionCdnHost_;
  std::string gameDevCdnHost_;
  std::string cdnOverrideUrl_;
  // Opened by Initialize, used on the thread, written by Shutdown.
  cModuleCache moduleCache_;

 private:
  void ReleaseCallbacks();
  const std::string& CdnHost() const { return isGameDev_ ? gameDevCdnHost_ : productionCdnHost_; }
  // Hands the cache record's payload to LoadPayload.
  void HandOverPayload();
  // Logs the failure of a download and reports it (or lets the cache stand
  // in); always false.
  bool ReportDownloadFailure(int transferResult, long httpCode, bool reportErrors, bool backendDisabled,
                             bool& cancelled);

  // Written only while the thread does not run; read on it.
  ProgressCallback progressCallback_;
  // The module may report from threads of its own.
  std::mutex resultCallbackLock_;
  ResultCallback resultCallback_;
  std::atomic<bool> gameLaunched_{false};
  std::atomic<bool> launchResultReported_{false};
};

// The loader this platform's build provides; null in a build that has none.
std::unique_ptr<cModuleLoader> CreateModuleLoader(const std::vector<std::string>& arguments);

}  // namespace quarvel::launcher
