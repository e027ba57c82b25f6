#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "launch/module_loader.h"
#include "launch/process/game_process.h"
#include "quarvel/module_interface.h"

// What the platforms' module loaders share once a module's entries are
// callable: the language call, the start record with its version-1 retry,
// the module's callbacks, and the game process the launcher starts.
namespace quarvel::launcher {

// How mapping a module ended.
enum class MapResult : int {
  BadArguments = 0,
  Mapped = 1,
  SignatureRefused = 2,
  LoadFailed = 3,  // the image could not be mapped, or an entry is missing
};

// The loader-level code of a version-1 module's code: 902, 903, 904 and 905
// become 507, 508, 509 and 1002; anything else 0.
QVL_ProtectedGameLaunchResult MapModuleCodeV1(std::int32_t code);

// What a platform loader's CreateGameProcess does: starts the game and, when
// the system refuses, reports 502 with the loader's localized text through
// `loader`. True when a process with a non-zero id runs; `game` then holds it.
bool CreateGameProcessFor(cModuleLoader& loader, const cLocalization& catalogue, const std::string& path,
                          const std::vector<std::string>& arguments, const std::string& workingDirectory,
                          GameProcess& game);

// How long a module that initialized may stay silent before the launch is
// given up as failed.
inline constexpr std::chrono::milliseconds kLaunchResultWaitLimit{120000};

class cPlatformModuleLoader : public cModuleLoader {
 public:
  explicit cPlatformModuleLoader(const std::vector<std::string>& arguments,
                                 std::chrono::milliseconds launchResultWaitLimit = kLaunchResultWaitLimit)
      : cModuleLoader(arguments), launchResultWaitLimit_(launchResultWaitLimit) {}

  // Starts the game through the system; a refusal is reported as 502.
  bool CreateGameProcess(const std::string& path, const std::vector<std::string>& arguments,
                         const std::string& workingDirectory) override;
  // A duplicate of the handle of the game this loader started, or else a
  // handle opened on the process id the module named.
  ProcessHandle GetGameProcessHandle() override;
  using cModuleLoader::GetModuleCachePath;
  bool GetModuleCachePath(std::string& path) override;

  // The module's reports, on whichever thread it makes them. The record's
  // process id (when non-zero) becomes the game's, through
  // TranslateProcessId; then the code and message are reported unchanged.
  void OnModuleResult(const QVL_ResultRecord& record);
  void OnModuleResultV1(std::int32_t code, const char* message);

  // The callbacks handed to a module of this process's calling convention;
  // the context is the loader. Nothing may unwind through the module's
  // frames: a report that fails is logged.
  static void ForwardResult(const QVL_ResultRecord* record);
  static void ForwardResultV1(std::int32_t code, const char* message, void* context);
  // Enters an entry of this process's calling convention.
  static std::uint8_t CallEntry(const void* entry, const void* argument);

 protected:
  // How this loader enters its module and how the module calls back: a
  // module of another calling convention is entered through a bridge and
  // handed callbacks of its convention.
  struct ModuleCalls {
    std::uint8_t (*callEntry)(const void* entry, const void* argument);
    QVL_CallbackV2 callbackV2;
    QVL_CallbackV1 callbackV1;
  };

  // The process id the module reported, as this process knows it; 0 when it
  // cannot be had.
  virtual std::uint32_t TranslateProcessId(std::uint32_t processId) { return processId; }

  // Calls set-language, when it exists and a language is known.
  void SetModuleLanguage(const ModuleCalls& calls);
  // Calls initialize with a version-2 start record and, when the module
  // answers 0, once more with version 1. With `withHostFields` the record
  // also names the game's host path and its argument list (the game binary's
  // own path, then the game's arguments). Returns the final initialize result.
  std::uint8_t StartModule(const ModuleCalls& calls, bool withHostFields, const std::string& unixGamePath);
  // On the loader's thread, after initialize returned `initializeResult`:
  // waits until the module has reported a launch result. When none has come
  // within the limit, reports 507 with the initialize text, so that a module
  // that fails without a word does not leave the player waiting for good.
  // Ends early when the loader stops.
  void WatchForLaunchResult(std::uint8_t initializeResult);

  // Takes the four entries of a loaded library by their symbol names, through
  // `resolve` (null for a missing name); a null library or a missing entry is
  // logged and fails.
  using SymbolResolver = const void* (*)(void* library, const char* name);
  MapResult TakeNamedEntries(void* library, SymbolResolver resolve);

  // 507 with the text for a failed map; a refused signature also names
  // `signatureRefusal_`, the reason the check gave.
  void ReportMapFailure(MapResult result);
  // 507 "Module initialization failed with {0}".
  void ReportInitializeFailure(std::uint8_t result);

 protected:
  std::string signatureRefusal_;

 private:
  // What the module may keep pointers to after initialize: valid as long as
  // the loader.
  QVL_StartRecord startRecord_{};
  QVL_LanguageRecord languageRecord_{};
  std::string unixGamePath_;
  std::vector<std::string> recordArguments_;
  std::vector<const char*> recordArgumentPointers_;

  std::mutex gameLock_;
  GameProcess game_;
  const std::chrono::milliseconds launchResultWaitLimit_;
};

}  // namespace quarvel::launcher
