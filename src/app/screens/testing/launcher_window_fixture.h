#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/anticheat_launcher.h"

// Test support: a launcher with a real window on the test display (Xvfb, or
// Wine's), its log lines, SDL events pushed through SDL's queue, frames run
// and the window's pixels read back.
namespace quarvel::launcher::testing {

struct DisplaySettings {
  bool hideGui = false;
  bool hideBootstrapper = false;
  bool hideLogoAnimation = false;
  // The player's locale; empty: the one the system reports.
  std::string language;
  std::string country;
};

// Under Wine, the Windows fonts the shipped catalogues name are not
// installed: copies of an installed font of the host that covers the same
// scripts stand in for them in the prefix's fonts folder. Does nothing where
// the files exist (Windows itself) and natively.
void InstallStandInSystemFonts();

class LauncherWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { StartLauncher({}); }
  void TearDown() override;

  // Builds and initializes a launcher whose settings file holds `display`,
  // for the display's locale.
  void StartLauncher(const DisplaySettings& display);
  void StopLauncher();

  bool Logged(const std::string& text);
  // Drains SDL's queue into the launcher, as the main loop does.
  void PumpEvents();
  void Push(const SDL_Event& event);
  void PushMouseButton(std::uint32_t type, std::uint8_t button);
  void PushMotion(int xrel, int yrel);
  void PushKeyUp(SDL_Keycode key);
  // Moves the real pointer to a point of the window and lets the launcher see it.
  void PointAt(int windowX, int windowY);
  SDL_Point WindowPosition();
  // Runs `count` frames of 16 ms: a task each, every element updated, drawn.
  void RunFrames(int count);
  // Runs every queued task, one per frame.
  void RunQueuedTasks();

  std::unique_ptr<AntiCheatLauncher> launcher_;
  cLogger logger_;
  unsigned sdlMask_ = 0;
  std::mutex linesLock_;
  std::vector<std::string> lines_;
};

// The window's current frame as 32-bit ARGB pixels.
class cFrame {
 public:
  explicit cFrame(SDL_Renderer* renderer);
  SDL_Color At(int x, int y) const;
  bool Same(const cFrame& other, const SDL_Rect& area) const;
  // True when some pixel inside `box` differs from `other` and none outside.
  bool DiffersOnlyWithin(const cFrame& other, const SDL_Rect& box) const;
  bool SaveAs(const std::string& name) const;

  static constexpr int kWidth = 800;
  static constexpr int kHeight = 450;

 private:
  std::vector<Uint32> pixels_;
};

}  // namespace quarvel::launcher::testing
