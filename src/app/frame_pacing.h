#pragma once

#include <cstdint>

// How the main loop paces its frames. It draws at a fixed frame interval
// while anything on screen moves; while nothing does, it sleeps until the
// next moment something must happen: a step of a timed animation (a sprite
// sheet frame, a cycling text), the next look at the game's window, or an
// event of the window system or another thread, whichever comes first.
namespace quarvel::launcher {

// What the next frame is waiting for, all relative to now.
struct FrameSchedule {
  std::int64_t untilFrameNs = 0;  // until the frame clock makes the next frame due (<= 0: due now)
  std::int64_t frameIntervalNs = 0;
  // Something must be done at the very next frame: a task, a redraw, a
  // fade, move or resize step.
  bool busy = true;
  // Animation time that passes before the screen changes (a timer's
  // remainder); ui::kNoChangeDue when nothing would change.
  std::int64_t untilChangeNs = 0;
  // Until the next look at the game's window is due; ui::kNoChangeDue when
  // none is waiting.
  std::int64_t untilPollNs = 0;
};

// About the longest wait (it ends on a frame): a wake-up source this loop
// does not know of shows no later than this.
inline constexpr std::int64_t kLongestIdleWaitNs = 250'000'000;

// Waits at least this long may be spent waiting for window events, which
// SDL counts in whole milliseconds (and some systems' timers end later);
// shorter ones, within a frame, are slept out to keep the frame clock.
inline constexpr std::int64_t kShortestEventWaitNs = 16'000'000;

// How long the loop may wait before it must run its next frame. A frame run
// before this (an event came) is harmless; one run after it would show a
// change late. Never less than what is left of the current frame.
std::int64_t FrameWaitNs(const FrameSchedule& schedule);

// What a frame that came `overdueNs` after it was due stands for.
struct FrameStep {
  std::int64_t frames = 1;       // frame intervals the animations step by
  std::int64_t untilNextNs = 0;  // until the frame after it is due
};

// While anything moves, a frame stands for one interval and a late frame's
// lateness is dropped, never caught up. After a wait through frames in
// which nothing could change (`quietNs`: the animation time that was left
// before the next change) it stands for each of those frames, and the frame
// clock keeps its beat; a wake-up later than the change drops the time
// beyond it.
FrameStep StepFrames(std::int64_t overdueNs, std::int64_t frameIntervalNs, std::int64_t quietNs);

}  // namespace quarvel::launcher
