#include "launch/platform_module_loader.h"

#include <algorithm>
#include <utility>

#include "common/logger.h"
#include "launch/launch_catalogue.h"

namespace quarvel::launcher {

QVL_ProtectedGameLaunchResult MapModuleCodeV1(std::int32_t code) {
  switch (code) {
    case QVL_V1ModuleFailed:
      return QVL_LoaderModuleFailed;
    case QVL_V1CreateGameProcess:
      return QVL_LoaderCreateGameProcess;
    case QVL_V1ModuleError:
      return QVL_LoaderModuleError;
    case QVL_V1GameStarted:
      return QVL_LoaderGameStarted;
    default:
      return QVL_Unclassified;
  }
}

bool CreateGameProcessFor(cModuleLoader& loader, const cLocalization& catalogue, const std::string& path,
                          const std::vector<std::string>& arguments, const std::string& workingDirectory,
                          GameProcess& game) {
  GameStartResult start = StartGameProcess(path, arguments, workingDirectory);
  switch (start.status) {
    case GameStartStatus::Started:
      Log(LogLevel::Info, "Game process started, id: %u.", start.process.processId);
      game = std::move(start.process);
      return true;
    case GameStartStatus::NoProcessId:
      return false;
    case GameStartStatus::Failed:
      break;
  }
  loader.Report(QVL_LoaderStartFailed, DescribeGameStartFailure(catalogue, start.systemError).c_str());
  return false;
}

bool cPlatformModuleLoader::CreateGameProcess(const std::string& path, const std::vector<std::string>& arguments,
                                              const std::string& workingDirectory) {
  GameProcess started;
  if (!CreateGameProcessFor(*this, catalogue_, path, arguments, workingDirectory, started)) return false;
  gameProcessId_ = started.processId;
  std::lock_guard lock(gameLock_);
  game_ = std::move(started);
  return true;
}

ProcessHandle cPlatformModuleLoader::GetGameProcessHandle() {
  {
    std::lock_guard lock(gameLock_);
    if (game_.handle) return game_.handle.Duplicate();
  }
  const std::uint32_t processId = gameProcessId_.load();
  if (processId == 0) return {};
  return ProcessHandle::Open(processId);
}

bool cPlatformModuleLoader::GetModuleCachePath(std::string& path) {
  path = GetModuleCachePath();
  return !path.empty();
}

void cPlatformModuleLoader::OnModuleResult(const QVL_ResultRecord& record) {
  if (record.processId != 0) gameProcessId_ = TranslateProcessId(static_cast<std::uint32_t>(record.processId));
  Report(static_cast<QVL_ProtectedGameLaunchResult>(record.code), record.message);
}

void cPlatformModuleLoader::OnModuleResultV1(std::int32_t code, const char* message) {
  Report(MapModuleCodeV1(code), message);
}

// Not inlined: a forwarder of another calling convention cannot be given a
// handler of its own, so the handler must stay in these frames.
__attribute__((noinline)) void cPlatformModuleLoader::ForwardResult(const QVL_ResultRecord* record) {
  if (record == nullptr || record->context == nullptr) return;
  try {
    static_cast<cPlatformModuleLoader*>(record->context)->OnModuleResult(*record);
  } catch (...) {
    Log(LogLevel::Error, "A module report failed.");
  }
}

__attribute__((noinline)) void cPlatformModuleLoader::ForwardResultV1(std::int32_t code, const char* message,
                                                                      void* context) {
  if (context == nullptr) return;
  try {
    static_cast<cPlatformModuleLoader*>(context)->OnModuleResultV1(code, message);
  } catch (...) {
    Log(LogLevel::Error, "A module report failed.");
  }
}

std::uint8_t cPlatformModuleLoader::CallEntry(const void* entry, const void* argument) {
  using Entry = std::uint8_t (*)(const void*);
  return reinterpret_cast<Entry>(const_cast<void*>(entry))(argument);
}

void cPlatformModuleLoader::SetModuleLanguage(const ModuleCalls& calls) {
  if (setLanguageEntry_ == nullptr || language_.empty()) return;
  languageRecord_ = {QVL_LanguageRecordVersion, language_.c_str(), region_.c_str()};
  calls.callEntry(reinterpret_cast<const void*>(setLanguageEntry_), &languageRecord_);
}

std::uint8_t cPlatformModuleLoader::StartModule(const ModuleCalls& calls, bool withHostFields,
                                                const std::string& unixGamePath) {
  startRecord_ = {};
  startRecord_.version = QVL_StartRecordVersion2;
  startRecord_.context = this;
  startRecord_.productId = productId_.c_str();
  startRecord_.sandboxId = sandboxId_.c_str();
  startRecord_.deploymentId = deploymentId_.c_str();
  startRecord_.callbackV2 = calls.callbackV2;
  if (withHostFields) {
    unixGamePath_ = unixGamePath;
    recordArguments_.clear();
    recordArguments_.push_back(gameBinaryPath_);
    recordArguments_.insert(recordArguments_.end(), arguments_.begin(), arguments_.end());
    recordArgumentPointers_.clear();
    for (const std::string& argument : recordArguments_) recordArgumentPointers_.push_back(argument.c_str());
    startRecord_.unixGamePath = unixGamePath_.c_str();
    startRecord_.argumentCount = static_cast<std::int32_t>(recordArgumentPointers_.size());
    startRecord_.arguments = recordArgumentPointers_.data();
  }

  const void* initialize = reinterpret_cast<const void*>(initializeEntry_);
  std::uint8_t result = calls.callEntry(initialize, &startRecord_);
  if (result == QVL_InitializeUnsupportedVersion) {
    Log(LogLevel::Info, "The module does not take a version-2 start record; retrying with version 1.");
    // Only the version and the version-1 callback change: a version-1 module
    // does not read the version-2 callback, and one that takes either version
    // sees the same record apart from those two fields.
    startRecord_.version = QVL_StartRecordVersion1;
    startRecord_.callbackV1 = calls.callbackV1;
    result = calls.callEntry(initialize, &startRecord_);
  }
  return result;
}

MapResult cPlatformModuleLoader::TakeNamedEntries(void* library, SymbolResolver resolve) {
  if (library == nullptr) {
    Log(LogLevel::Error, "Failed to map the anti-cheat module.");
    return MapResult::LoadFailed;
  }
  const void* initialize = resolve(library, QVL_ENTRY_SYMBOL_INITIALIZE);
  const void* shutdown = resolve(library, QVL_ENTRY_SYMBOL_SHUTDOWN);
  const void* reserved = resolve(library, QVL_ENTRY_SYMBOL_RESERVED);
  const void* setLanguage = resolve(library, QVL_ENTRY_SYMBOL_SET_LANGUAGE);
  if (initialize == nullptr || shutdown == nullptr || reserved == nullptr || setLanguage == nullptr) {
    Log(LogLevel::Error, "The anti-cheat module lacks one of its entries.");
    return MapResult::LoadFailed;
  }
  initializeEntry_ = reinterpret_cast<QVL_InitializeEntry>(const_cast<void*>(initialize));
  shutdownEntry_ = reinterpret_cast<QVL_ShutdownEntry>(const_cast<void*>(shutdown));
  reservedEntry_ = reinterpret_cast<QVL_ReservedEntry>(const_cast<void*>(reserved));
  setLanguageEntry_ = reinterpret_cast<QVL_SetLanguageEntry>(const_cast<void*>(setLanguage));
  return MapResult::Mapped;
}

void cPlatformModuleLoader::ReportMapFailure(MapResult result) {
  std::string text;
  switch (result) {
    case MapResult::SignatureRefused:
      text = catalogue_.GetString("launcher_error.error_certificate_validation",
                                  "Error validating Quarvel code signing certificate");
      if (!signatureRefusal_.empty()) text = AppendDetail(text + ":", signatureRefusal_);
      break;
    case MapResult::LoadFailed:
      text = catalogue_.GetString("launcher_error.error_module_loading", "Failed to load the anti-cheat module.");
      break;
    default:
      text = catalogue_.GetString("launcher_error.error_internal", "Internal error!");
      break;
  }
  Report(QVL_LoaderModuleFailed, text.c_str());
}

void cPlatformModuleLoader::WatchForLaunchResult(std::uint8_t initializeResult) {
  const auto deadline = std::chrono::steady_clock::now() + launchResultWaitLimit_;
  while (!LaunchResultReported()) {
    if (StopRequested()) return;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) break;
    // Wakes at once when the loader stops.
    stopEvent_.Wait(std::min(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now),
                             std::chrono::milliseconds(50)));
  }
  if (LaunchResultReported()) return;
  Log(LogLevel::Error, "No launch result from the module %lld ms after its initialize returned %u.",
      static_cast<long long>(launchResultWaitLimit_.count()), static_cast<unsigned>(initializeResult));
  ReportInitializeFailure(initializeResult);
}

void cPlatformModuleLoader::ReportInitializeFailure(std::uint8_t result) {
  const std::string text = catalogue_.GetString("launcher_error.error_module_initialize",
                                                "Module initialization failed with {0}", {std::to_string(result)});
  Report(QVL_LoaderModuleFailed, text.c_str());
}

}  // namespace quarvel::launcher
