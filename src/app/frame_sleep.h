#pragma once

#include <cstdint>

// The pause between two frames of the main loop.
namespace quarvel::launcher {

// Blocks for `nanoseconds`, or as close to it as the system's timers allow,
// and never returns much earlier: what is left of a frame, even less than a
// millisecond, is slept rather than spun away by calling the loop again.
void SleepOutFrame(std::int64_t nanoseconds);

}  // namespace quarvel::launcher
