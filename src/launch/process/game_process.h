#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "launch/process/process_handle.h"
#include "localization/localization.h"

namespace quarvel::launcher {

// A started game: its process id and a handle for waiting on it, reading its
// exit code and ending it.
struct GameProcess {
  std::uint32_t processId = 0;
  ProcessHandle handle;
};

enum class GameStartStatus {
  Started,      // a process with a non-zero id runs
  NoProcessId,  // the system said yes but named no process; nothing to report
  Failed,       // the system refused; `systemError` says why
};

struct GameStartResult {
  GameStartStatus status = GameStartStatus::Failed;
  GameProcess process;
  std::string systemError;  // UTF-8, for Failed
};

// Starts the game binary `path` (UTF-8) with `arguments` in
// `workingDirectory` (empty: this process's current directory); a relative
// `path` is relative to this process's current directory. The game sees the
// overlay variable as "0" and inherits no handle or descriptor of ours beyond
// the standard ones. Arguments go over as given: on Windows joined into
// BuildGameCommandLine's line (a line longer than the system takes is
// refused, not cut), elsewhere as argv[1...] after argv[0] = `path`. On
// Windows the variable is set in this process's own environment first, as the
// game inherits it from there; elsewhere only the game's environment gets it.
GameStartResult StartGameProcess(const std::string& path, const std::vector<std::string>& arguments,
                                 const std::string& workingDirectory);

// The Windows command line: the path in double quotes, then each argument
// after one space, unchanged (neither quoted nor escaped, so an argument with
// a blank reaches the game as several).
std::string BuildGameCommandLine(const std::string& path, const std::vector<std::string>& arguments);

// The loader's message for a start the system refused.
std::string DescribeGameStartFailure(const cLocalization& catalogue, const std::string& systemError);

}  // namespace quarvel::launcher
