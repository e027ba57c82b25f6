#include <time.h>

#include "app/frame_sleep.h"

namespace quarvel::launcher {

void SleepOutFrame(std::int64_t nanoseconds) {
  if (nanoseconds <= 0) return;
  const timespec pause{static_cast<time_t>(nanoseconds / 1'000'000'000), static_cast<long>(nanoseconds % 1'000'000'000)};
  // A signal cutting the pause short only brings the next pass forward.
  nanosleep(&pause, nullptr);
}

}  // namespace quarvel::launcher
