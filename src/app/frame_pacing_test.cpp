#include "app/frame_pacing.h"

#include <gtest/gtest.h>

#include "ui/elements/ui_element.h"

// The loop's wake-up deadline: it may sleep through frames in which nothing
// changes, but never past a frame that shows a change, a due look at the
// game's window, or the end of the current frame while anything moves.
namespace quarvel::launcher {
namespace {

constexpr std::int64_t kMs = 1'000'000;
constexpr std::int64_t kFrame = 16 * kMs;
constexpr std::int64_t kNever = ui::kNoChangeDue;

TEST(FramePacing, NeverWaitsPastWhatIsDue) {
  struct Case {
    const char* name;
    FrameSchedule schedule;
    std::int64_t expected;
  };
  const Case cases[] = {
      {"busy: the rest of the frame", {5 * kMs, kFrame, true, kNever, kNever}, 5 * kMs},
      {"busy and overdue: at once", {-3 * kMs, kFrame, true, kNever, kNever}, 0},
      {"a fade runs", {5 * kMs, kFrame, false, 0, kNever}, 5 * kMs},
      {"a change in the next frame", {5 * kMs, kFrame, false, 16 * kMs, kNever}, 5 * kMs},
      {"a change in the frame after", {5 * kMs, kFrame, false, 17 * kMs, kNever}, 21 * kMs},
      // A 33 ms sprite frame shows in the third 16 ms frame.
      {"a sprite sheet frame", {16 * kMs, kFrame, false, 33 * kMs, kNever}, 48 * kMs},
      // A cycling text 200 ms before its step: the 13th frame.
      {"a cycling text", {16 * kMs, kFrame, false, 200 * kMs, kNever}, 208 * kMs},
      // Woken on the frame about the longest idle wait, which comes before the step.
      {"a cycling text further off", {16 * kMs, kFrame, false, 484 * kMs, kNever}, 256 * kMs},
      {"nothing moves: about the longest idle wait", {16 * kMs, kFrame, false, kNever, kNever}, 256 * kMs},
      {"a poll before the change", {16 * kMs, kFrame, false, 484 * kMs, 100 * kMs}, 100 * kMs},
      {"a poll within the frame: with the frame", {16 * kMs, kFrame, false, kNever, 4 * kMs}, 16 * kMs},
      {"a poll overdue: with the frame", {0, kFrame, false, kNever, -50 * kMs}, 0},
      {"a change before the poll", {16 * kMs, kFrame, false, 33 * kMs, 100 * kMs}, 48 * kMs},
      {"a poll later than the longest idle wait", {16 * kMs, kFrame, false, kNever, 900 * kMs}, 256 * kMs},
      {"no frame interval", {5 * kMs, 0, false, kNever, kNever}, 5 * kMs},
  };
  for (const Case& c : cases) {
    const std::int64_t wait = FrameWaitNs(c.schedule);
    EXPECT_EQ(wait, c.expected) << c.name;
    EXPECT_GE(wait, 0) << c.name;
  }
}

TEST(FramePacing, FramesSleptThroughAreSteppedUpToTheChange) {
  struct Case {
    const char* name;
    std::int64_t overdue;
    std::int64_t quiet;
    FrameStep expected;
  };
  const Case cases[] = {
      {"on time while a fade runs", 0, 0, {1, kFrame}},
      {"late while a fade runs: dropped", 40 * kMs, 0, {1, kFrame}},
      {"change due in the next frame: as a fade", 5 * kMs, kFrame, {1, kFrame}},
      {"quiet, on time", 0, kNever, {1, kFrame}},
      {"quiet, woken within a frame: the beat is kept", 5 * kMs, kNever, {1, 11 * kMs}},
      {"two frames slept through", 2 * kFrame, kNever, {3, kFrame}},
      {"woken at the change", 480 * kMs, 484 * kMs, {31, kFrame}},
      {"woken for a poll between frames", 84 * kMs, 484 * kMs, {6, 12 * kMs}},
      // Woken late: the change shows once, time beyond it is dropped.
      {"woken after the change", 600 * kMs, 484 * kMs, {31, kFrame}},
  };
  for (const Case& c : cases) {
    const FrameStep step = StepFrames(c.overdue, kFrame, c.quiet);
    EXPECT_EQ(step.frames, c.expected.frames) << c.name;
    EXPECT_EQ(step.untilNextNs, c.expected.untilNextNs) << c.name;
  }
}

}  // namespace
}  // namespace quarvel::launcher
