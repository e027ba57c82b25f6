#pragma once

#include <string>
#include <vector>

#include "app/command_line.h"
// SetOverlaySuppression lives with the game start, which sets it too.
#include "launch/process/overlay_switch.h"

// Decisions made once for the whole process, before or while the launcher is
// built, and read everywhere afterwards.
namespace quarvel::launcher {

// Written on the main thread before any other thread exists.
extern bool immediateExitOnError;  // no message boxes; a failed launch ends the process
extern bool headlessMode;          // no SDL, no window, no drawing

inline constexpr const char* kImmediateExitVariable =
    "TAVIK_ANTICHEAT_BOOTSTRAPPER_IMMEDIATE_EXIT_ON_ERROR";
inline constexpr const char* kHeadlessVariable = "TAVIK_ANTICHEAT_BOOTSTRAPPER_RUN_IN_HEADLESS_MODE";

// The arguments of this process without the program name. On Windows the
// command line is read and split by SplitCommandLine; elsewhere argv is
// already split by the caller and taken as given.
std::vector<std::string> ReadProcessArguments(int argc, char** argv);

// True exactly when the variable's value is the single character "1".
bool ReadEnvironmentSwitch(const std::string& name);

// Reads both environment switches into the globals above.
void ReadEnvironmentSwitches();

}  // namespace quarvel::launcher
