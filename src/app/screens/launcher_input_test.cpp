#include <SDL.h>

#include "app/screens/testing/launcher_window_fixture.h"

namespace quarvel::launcher {
namespace {

using testing::LauncherWindowTest;

constexpr int kCloseX = 781;  // the middle of the 38 x 38 close button at (762, 0)
constexpr int kCloseY = 19;

TEST_F(LauncherWindowTest, WindowCloseSetsTheExitFlag) {
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  Push(quit);
  EXPECT_TRUE(launcher_->ExitRequested());
}

TEST_F(LauncherWindowTest, EnabledCloseButtonEndsTheRun) {
  launcher_->SetState(LauncherState::Downloading);
  PointAt(kCloseX, kCloseY);
  PushMouseButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
  EXPECT_TRUE(launcher_->ExitRequested());
  EXPECT_TRUE(Logged("[Info] Close button pressed by the user, setting exit flag."));
  PushMouseButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);
}

TEST_F(LauncherWindowTest, DisabledCloseButtonOnlyLogs) {
  ASSERT_EQ(launcher_->GetState(), LauncherState::Loading);
  PointAt(kCloseX, kCloseY);
  PushMouseButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
  PushMouseButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);
  EXPECT_FALSE(launcher_->ExitRequested());
  EXPECT_TRUE(Logged("[Info] Called for a button element that was still visible but disabled."));
  EXPECT_FALSE(Logged("Close button pressed by the user"));
}

TEST_F(LauncherWindowTest, ClicksBesideTheCloseButtonDoNothing) {
  launcher_->SetState(LauncherState::Downloading);
  PointAt(761, kCloseY);  // the border is outside
  PushMouseButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT);
  EXPECT_FALSE(launcher_->ExitRequested());
}

TEST_F(LauncherWindowTest, OtherButtonsClickButNeverDrag) {
  for (const std::uint8_t button : {SDL_BUTTON_RIGHT, SDL_BUTTON_MIDDLE}) {
    launcher_->SetState(LauncherState::Downloading);
    PointAt(200, 200);
    const SDL_Point before = WindowPosition();
    PushMouseButton(SDL_MOUSEBUTTONDOWN, button);
    EXPECT_FALSE(launcher_->GetRenderContext().BeingDragged);
    PushMotion(40, 30);
    EXPECT_EQ(WindowPosition().x, before.x);
    EXPECT_EQ(WindowPosition().y, before.y);
    PushMouseButton(SDL_MOUSEBUTTONUP, button);
    EXPECT_FALSE(launcher_->ExitRequested());

    // Over the close button the same press runs it.
    PointAt(kCloseX, kCloseY);
    PushMouseButton(SDL_MOUSEBUTTONDOWN, button);
    EXPECT_TRUE(launcher_->ExitRequested());
    EXPECT_FALSE(launcher_->GetRenderContext().BeingDragged);
    StopLauncher();
    StartLauncher({});
  }
}

TEST_F(LauncherWindowTest, KeySequenceRevealsTheStaticLogoOnce) {
  launcher_->SetState(LauncherState::Downloading);
  const auto logo = launcher_->GetImage(kStaticLogo);
  ASSERT_TRUE(logo);
  RunFrames(60);
  ASSERT_EQ(logo->GetAlpha(ui::kPartNone), 0);

  // A stray key among them breaks the sequence.
  for (SDL_Keycode key : {SDLK_q, SDLK_v, SDLK_x, SDLK_l, SDLK_o, SDLK_g}) PushKeyUp(key);
  RunFrames(60);
  EXPECT_FALSE(AntiCheatLauncher::KeySequenceSeen());
  EXPECT_EQ(logo->GetAlpha(ui::kPartNone), 0);

  for (SDL_Keycode key : {SDLK_q, SDLK_v, SDLK_l, SDLK_o, SDLK_g}) PushKeyUp(key);
  EXPECT_TRUE(AntiCheatLauncher::KeySequenceSeen());
  RunFrames(60);
  EXPECT_EQ(logo->GetAlpha(ui::kPartNone), 255);

  // Seen once, the sequence does nothing more.
  logo->SetFadeEnabled(0);
  logo->SetAlpha(0);
  for (SDL_Keycode key : {SDLK_q, SDLK_v, SDLK_l, SDLK_o, SDLK_g}) PushKeyUp(key);
  RunFrames(60);
  EXPECT_EQ(logo->GetAlpha(ui::kPartNone), 0);
}

TEST_F(LauncherWindowTest, HoverHighlightsTheCloseButton) {
  launcher_->SetState(LauncherState::Downloading);
  const auto close = launcher_->GetButton(kCloseButton);
  PointAt(400, 200);
  RunFrames(60);
  EXPECT_EQ(close->GetAlpha(ui::kPartImage), 150);
  PointAt(kCloseX, kCloseY);
  RunFrames(30);
  EXPECT_EQ(close->GetAlpha(ui::kPartImage), 255);
  PointAt(400, 200);
  RunFrames(30);
  EXPECT_EQ(close->GetAlpha(ui::kPartImage), 150);
}

// Last: under Wine the pointer cannot be placed again in the same process
// after a drag has captured it.
TEST_F(LauncherWindowTest, DraggingStopsHalfAWindowBeyondTheDisplay) {
  ASSERT_EQ(SDL_GetNumVideoDisplays(), 1);
  SDL_Rect bounds;
  ASSERT_EQ(SDL_GetDisplayBounds(0, &bounds), 0);
  ASSERT_EQ(bounds.w, 1920);
  ASSERT_EQ(bounds.h, 1080);
  launcher_->SetState(LauncherState::Downloading);
  PointAt(200, 200);
  PushMouseButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
  ASSERT_TRUE(launcher_->GetRenderContext().BeingDragged);
  EXPECT_TRUE(Logged("Changing the BeingDragged flag to true."));

  const SDL_Point start = WindowPosition();
  PushMotion(25, -15);
  EXPECT_EQ(WindowPosition().x, start.x + 25);
  EXPECT_EQ(WindowPosition().y, start.y - 15);
  struct Case {
    int xrel, yrel, x, y;
  };
  const Case cases[] = {
      {-5000, 0, -400, start.y - 15}, {0, -5000, -400, -225}, {10000, 0, 1520, -225}, {0, 10000, 1520, 855}};
  for (const Case& c : cases) {
    PushMotion(c.xrel, c.yrel);
    EXPECT_EQ(WindowPosition().x, c.x) << c.xrel << "," << c.yrel;
    EXPECT_EQ(WindowPosition().y, c.y) << c.xrel << "," << c.yrel;
  }

  PushMouseButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);
  EXPECT_FALSE(launcher_->GetRenderContext().BeingDragged);
  EXPECT_TRUE(Logged("Changing the BeingDragged flag to false."));
  PushMotion(-30, -30);
  EXPECT_EQ(WindowPosition().x, 1520);
  EXPECT_FALSE(launcher_->ExitRequested());
}

}  // namespace
}  // namespace quarvel::launcher
