#include "app/frame_pacing.h"

#include <algorithm>

namespace quarvel::launcher {
namespace {

// Whole intervals in `ns`, rounded up; at least one.
std::int64_t FramesCovering(std::int64_t ns, std::int64_t intervalNs) {
  if (ns <= intervalNs) return 1;
  return ns / intervalNs + (ns % intervalNs != 0 ? 1 : 0);
}

}  // namespace

std::int64_t FrameWaitNs(const FrameSchedule& schedule) {
  const std::int64_t untilFrame = std::max<std::int64_t>(schedule.untilFrameNs, 0);
  if (schedule.busy || schedule.frameIntervalNs <= 0) return untilFrame;
  // The change shows in the frame whose update makes up its remainder: the
  // next frame is the first, each one after it an interval later.
  const std::int64_t change = std::min(schedule.untilChangeNs, kLongestIdleWaitNs);
  const std::int64_t wait = untilFrame + (FramesCovering(change, schedule.frameIntervalNs) - 1) * schedule.frameIntervalNs;
  // A look at the game's window is taken by the first frame when it is due.
  return std::min(wait, std::max(untilFrame, schedule.untilPollNs));
}

FrameStep StepFrames(std::int64_t overdueNs, std::int64_t frameIntervalNs, std::int64_t quietNs) {
  if (frameIntervalNs <= 0) return {1, 0};
  const std::int64_t quietFrames = FramesCovering(quietNs, frameIntervalNs);
  if (quietFrames <= 1) return {1, frameIntervalNs};
  const std::int64_t overdue = std::max<std::int64_t>(overdueNs, 0);
  const std::int64_t passed = 1 + overdue / frameIntervalNs;
  if (passed > quietFrames) return {quietFrames, frameIntervalNs};
  return {passed, frameIntervalNs - overdue % frameIntervalNs};
}

}  // namespace quarvel::launcher
