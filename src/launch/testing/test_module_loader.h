#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "launch/module_loader.h"

// Test double: a module loader whose thread body and game start the test
// scripts, and which records what the launcher asked of it.
namespace quarvel::launcher::test_support {

class ScriptedModuleLoader : public cModuleLoader {
 public:
  struct GameStart {
    std::string path;
    std::vector<std::string> arguments;
    std::string workingDirectory;
  };

  explicit ScriptedModuleLoader(const std::vector<std::string>& arguments = {}) : cModuleLoader(arguments) {}
  ~ScriptedModuleLoader() override { Shutdown(); }

  bool Initialize(ProgressCallback progressCallback, ResultCallback resultCallback, const std::string& gameBinaryPath,
                  const std::string& workingDirectory, const std::string& systemName, const std::string& productId,
                  const std::string& sandboxId, const std::string& deploymentId, bool isGameDev) override {
    ++initializeCalls;
    return cModuleLoader::Initialize(std::move(progressCallback), std::move(resultCallback), gameBinaryPath,
                                     workingDirectory, systemName, productId, sandboxId, deploymentId, isGameDev);
  }

  // Starts nothing: the game "starts" with `processIdOnCreate`, and a zero id
  // fails the way a real loader does, with a 502 report.
  bool CreateGameProcess(const std::string& path, const std::vector<std::string>& arguments,
                         const std::string& workingDirectory) override {
    gameStarts.push_back({path, arguments, workingDirectory});
    if (processIdOnCreate == 0) {
      Report(QVL_LoaderStartFailed, "Failed to create the game process: scripted failure");
      return false;
    }
    gameProcessId_ = processIdOnCreate;
    return true;
  }
  ProcessHandle GetGameProcessHandle() override { return ProcessHandle::Open(gameProcessId_.load()); }
  bool GetModuleCachePath(std::string&) override { return false; }
  void LoadModule(const std::vector<std::uint8_t>&) override {}

  // What a module's result record does: a process id first, then the code.
  void ReportFromModule(QVL_ProtectedGameLaunchResult result, const char* message, std::uint32_t processId) {
    if (processId != 0) gameProcessId_ = processId;
    Report(result, message);
  }
  void SetShutdownEntry(QVL_ShutdownEntry entry) { shutdownEntry_ = entry; }
  bool StopWasRequested() const { return StopRequested(); }

  const std::string& GameBinaryPath() const { return gameBinaryPath_; }
  const std::string& SystemName() const { return systemName_; }
  const std::string& ProductId() const { return productId_; }
  const std::string& SandboxId() const { return sandboxId_; }
  const std::string& DeploymentId() const { return deploymentId_; }
  bool IsGameDev() const { return isGameDev_; }
  const std::string& Language() const { return language_; }
  const std::string& Region() const { return region_; }
  const std::vector<std::string>& Arguments() const { return arguments_; }

  std::function<void(ScriptedModuleLoader&)> threadBody;
  std::uint32_t processIdOnCreate = 0;
  std::vector<GameStart> gameStarts;
  int initializeCalls = 0;

 protected:
  void Run() override {
    if (threadBody) threadBody(*this);
  }
};

}  // namespace quarvel::launcher::test_support
