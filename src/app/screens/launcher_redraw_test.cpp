#include <SDL.h>

#include "app/screens/testing/launcher_window_fixture.h"

// An idle window is not drawn again: a frame in which nothing changed
// presents nothing, while a changed element or a window that lost its
// picture is drawn at once. A mark painted straight into the window's back
// buffer shows which: it survives a frame that draws nothing and is wiped by
// one that draws.
namespace quarvel::launcher {
namespace {

using testing::cFrame;
using testing::LauncherWindowTest;

constexpr int kSettleFrames = 3 * 64 + 10;
constexpr SDL_Rect kMark{100, 100, 20, 20};

class RedrawTest : public LauncherWindowTest {
 protected:
  void SetUp() override {
    LauncherWindowTest::SetUp();
    // The error screen holds still once its fades are done; the cycling
    // texts that faded out keep cycling unseen.
    launcher_->SetState(LauncherState::Downloading);
    launcher_->OnGameLauncherFinished(QVL_ModuleLoadFailed, "The module could not be loaded.");
    RunQueuedTasks();
    ASSERT_EQ(launcher_->GetState(), LauncherState::Error);
    RunFrames(kSettleFrames);
  }

  SDL_Renderer* Renderer() { return launcher_->GetRenderContext().renderer; }

  void PaintMark() {
    Uint8 r = 0, g = 0, b = 0, a = 0;
    SDL_GetRenderDrawColor(Renderer(), &r, &g, &b, &a);
    SDL_SetRenderDrawColor(Renderer(), 255, 0, 255, 255);
    SDL_RenderFillRect(Renderer(), &kMark);
    SDL_SetRenderDrawColor(Renderer(), r, g, b, a);
  }

  bool MarkShown() {
    const SDL_Color pixel = cFrame(Renderer()).At(kMark.x + kMark.w / 2, kMark.y + kMark.h / 2);
    return pixel.r == 255 && pixel.g == 0 && pixel.b == 255;
  }
};

TEST_F(RedrawTest, AFrameInWhichNothingChangedDrawsNothing) {
  PaintMark();
  ASSERT_TRUE(MarkShown());
  RunFrames(40);  // longer than a cycle of the hidden texts
  EXPECT_TRUE(MarkShown());
}

TEST_F(RedrawTest, AChangedElementIsDrawnInTheNextFrame) {
  const cFrame settled(Renderer());
  PaintMark();
  launcher_->GetButton(kExitButton)->FadeTo(255, 5);  // as under the cursor
  RunFrames(1);
  EXPECT_FALSE(MarkShown());
  const cFrame brighter(Renderer());
  const SDL_Rect button{320, 0, 160, 450};
  EXPECT_TRUE(brighter.DiffersOnlyWithin(settled, button));
}

TEST_F(RedrawTest, AnExposedWindowIsDrawnAgainAsItWas) {
  const cFrame settled(Renderer());
  PaintMark();
  SDL_Event exposed{};
  exposed.type = SDL_WINDOWEVENT;
  exposed.window.type = SDL_WINDOWEVENT;
  exposed.window.event = SDL_WINDOWEVENT_EXPOSED;
  exposed.window.windowID = SDL_GetWindowID(launcher_->GetRenderContext().window);
  Push(exposed);
  RunFrames(1);
  EXPECT_FALSE(MarkShown());
  EXPECT_TRUE(cFrame(Renderer()).Same(settled, SDL_Rect{0, 0, cFrame::kWidth, cFrame::kHeight}));
}

}  // namespace
}  // namespace quarvel::launcher
