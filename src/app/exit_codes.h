#pragma once

#include <cstdint>

namespace quarvel::launcher {

// The process exit codes of the bootstrapper's own failures. Otherwise the
// process returns 0, a launch result, or the game's exit code.
enum BootstrapperExitCode : std::uint32_t {
  Completed = 0,
  SingleInstanceFailed = 60097,
  DependenciesFailed = 60098,
  InitializeFailed = 60099,
  StartFailed = 60100,
  NoGameProcess = 60101,
  // The launch failed with result 0 (unclassified): the error screen was
  // shown, but 0 would read as success.
  UnclassifiedLaunchFailure = 60102,
  GameExitCodeUnavailable = 60103,
  InternalError = 60104,
  WineHelperFailed = 60105,
};

}  // namespace quarvel::launcher
