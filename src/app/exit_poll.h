#pragma once

#include <cstdint>
#include <functional>

#include "launch/process/process_handle.h"

// One look at the game while the bootstrapper waits for its window: the
// decisions of the watch, apart from the launcher, the clock and the window
// system it asks.
namespace quarvel::launcher {

// The watch gives up once more than this has passed since polling began.
inline constexpr std::int64_t kExitDeferTimeNs = 60'000'000'000;
// The watch asks the window system at most this often: far below what a
// player notices, and the frames between cost only their sleep.
inline constexpr std::int64_t kWindowPollIntervalNs = 100'000'000;

enum class ExitPollOutcome {
  KeepWatching,   // nothing yet: look again on a later frame
  WindowVisible,  // a visible top-level window of the game is up
  DeferCrossed,   // the defer time is over
  NoGameProcess,  // no handle or no id to watch
  GameEnded,      // the game ended, or cannot be read, before its window showed
};

// What is being watched.
struct GameWatch {
  std::int64_t pollStart = 0;
  const ProcessHandle* process = nullptr;
  std::uint32_t processId = 0;
};

// What a poll asks of the world.
struct ExitPollProbes {
  std::function<std::int64_t()> now;                         // monotonic, ns
  std::function<bool(std::uint32_t processId)> hasWindow;    // a visible top-level window
};

// True when a poll is due at `now`; `lastPoll` is the time of the previous
// one, 0 before the first (which is always due).
bool WindowPollDue(std::int64_t lastPoll, std::int64_t now);
// When the poll after one at `lastPoll` becomes due (0: at once).
std::int64_t NextWindowPollAt(std::int64_t lastPoll);

// Decides one poll and logs the decision. `seenAt` becomes the time of the
// poll when the window was seen or the defer time ran out; it is left alone
// otherwise.
ExitPollOutcome PollGameOnce(const GameWatch& watch, const ExitPollProbes& probes, std::int64_t& seenAt);

}  // namespace quarvel::launcher
