#include <windows.h>

#include "app/frame_sleep.h"

namespace quarvel::launcher {

void SleepOutFrame(std::int64_t nanoseconds) {
  if (nanoseconds <= 0) return;
  // Sleep counts whole milliseconds, and Sleep(0) only yields: round up, so
  // the last fraction of a frame is slept too (SDL asks for 1 ms timers).
  Sleep(static_cast<DWORD>((nanoseconds + 999'999) / 1'000'000));
}

}  // namespace quarvel::launcher
