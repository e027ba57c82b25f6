#include "app/screens/testing/launcher_window_fixture.h"

#include <SDL_image.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "app/sdl_startup.h"
#include "app/switches.h"
#include "common/platform.h"
#include "localization/localization.h"
#include "ui/assets/asset_store.h"

namespace quarvel::launcher::testing {
namespace {

constexpr std::int64_t kFrameNs = 16'000'000;

const char* Bool(bool value) { return value ? "true" : "false"; }

std::filesystem::path Utf8Path(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

// A settings file beside the test program, named by the test.
std::string WriteSettings(const DisplaySettings& display) {
  std::string directory;
  GetExecutableDirectory(directory);
  const std::string name = std::string("ui_test_") + Bool(display.hideGui) + "_" + Bool(display.hideBootstrapper) +
                           "_" + Bool(display.hideLogoAnimation) + ".json";
  std::ofstream file(Utf8Path(directory + "Quarvel/" + name), std::ios::trunc);
  file << "{\"productid\": \"qvl-ui-test\", \"sandboxid\": \"sandbox\", \"deploymentid\": \"live\", "
       << "\"executable\": \"game.exe\", \"title\": \"Quarvel UI test\", \"hide_gui\": \"" << Bool(display.hideGui)
       << "\", \"hide_bootstrapper\": \"" << Bool(display.hideBootstrapper)
       << "\", \"hide_logo_animation\": \"" << Bool(display.hideLogoAnimation) << "\"}";
  return name;
}

}  // namespace

void InstallStandInSystemFonts() {
#if defined(_WIN32) && defined(QVL_STAND_IN_SYSTEM_FONT)
  std::string directory;
  GetExecutableDirectory(directory);
  const std::string localization = directory + "Quarvel\\Localization\\";
  const std::string fonts = ui::GetFontsDirectory();
  if (fonts.empty()) return;
  std::error_code error;
  std::filesystem::create_directories(Utf8Path(fonts), error);
  for (const auto& entry : std::filesystem::directory_iterator(Utf8Path(localization), error)) {
    cLocalization catalogue;
    std::string loadError;
    std::map<int, std::string> named;
    if (!catalogue.LoadFile(localization + entry.path().filename().string(), loadError)) continue;
    if (!catalogue.GetSystemFonts(named)) continue;
    for (const auto& [slot, file] : named) {
      const std::filesystem::path target = Utf8Path(fonts + file);
      if (std::filesystem::exists(target, error)) continue;
      std::filesystem::copy_file(Utf8Path(QVL_STAND_IN_SYSTEM_FONT), target, error);
    }
  }
#endif
}

void LauncherWindowTest::StartLauncher(const DisplaySettings& display) {
  headlessMode = false;
  immediateExitOnError = false;
  logger_.StartWorker();
  sdlMask_ = StartSdl();
  ASSERT_EQ(sdlMask_, static_cast<unsigned>(kSdlAllStarted)) << "no display: " << SDL_GetError();
  // Every window opens centred where the last test's window was: a pointer an
  // earlier test left on the close button would light it up at the first
  // motion event (another window opening over it is enough).
  SDL_WarpMouseGlobal(0, 0);
  const std::string settings = WriteSettings(display);
  launcher_ = std::make_unique<AntiCheatLauncher>(
      logger_, std::vector<std::string>{"-v", "-anticheat_settings=" + settings});
  if (!display.language.empty()) {
    InstallStandInSystemFonts();
    launcher_->SetUserLocale(display.language, display.country);
  }
  std::string error;
  ASSERT_TRUE(launcher_->Initialize(error)) << error;
  // After Initialize, which points the logger at the run's log file.
  logger_.AttachSink(
      [this](unsigned, const char* line) {
        std::lock_guard lock(linesLock_);
        lines_.emplace_back(line);
      },
      5);
  PumpEvents();
}

void LauncherWindowTest::StopLauncher() {
  launcher_.reset();
  // A launcher that fell back to English must not leave the next test so.
  fallbackToDefaults = false;
  ShowDefaultsFor({});
  StopSdl(sdlMask_);
  sdlMask_ = 0;
  logger_.StopWorker();
  SetActiveLogger(nullptr);
}

void LauncherWindowTest::TearDown() {
  StopLauncher();
  headlessMode = false;
}

bool LauncherWindowTest::Logged(const std::string& text) {
  logger_.Flush();
  std::lock_guard lock(linesLock_);
  for (const auto& line : lines_) {
    if (line.find(text) != std::string::npos) return true;
  }
  return false;
}

void LauncherWindowTest::PumpEvents() {
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) launcher_->HandleEvent(event);
}

void LauncherWindowTest::Push(const SDL_Event& event) {
  SDL_Event copy = event;
  ASSERT_EQ(SDL_PushEvent(&copy), 1) << SDL_GetError();
  PumpEvents();
}

void LauncherWindowTest::PushMouseButton(std::uint32_t type, std::uint8_t button) {
  SDL_Event event{};
  event.type = type;
  event.button.type = type;
  event.button.button = button;
  event.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
  event.button.clicks = 1;
  Push(event);
}

void LauncherWindowTest::PushMotion(int xrel, int yrel) {
  SDL_Event event{};
  event.type = SDL_MOUSEMOTION;
  event.motion.type = SDL_MOUSEMOTION;
  event.motion.xrel = xrel;
  event.motion.yrel = yrel;
  Push(event);
}

void LauncherWindowTest::PushKeyUp(SDL_Keycode key) {
  SDL_Event event{};
  event.type = SDL_KEYUP;
  event.key.type = SDL_KEYUP;
  event.key.state = SDL_RELEASED;
  event.key.keysym.sym = key;
  Push(event);
}

void LauncherWindowTest::PointAt(int windowX, int windowY) {
  const SDL_Point origin = WindowPosition();
  const SDL_Point target{origin.x + windowX, origin.y + windowY};
  SDL_WarpMouseGlobal(target.x, target.y);
  // Wait until the pointer is there and the window system's own motion
  // events have arrived (Wine delivers them a little later).
  for (int i = 0; i < 100; ++i) {
    SDL_Point now{0, 0};
    SDL_GetGlobalMouseState(&now.x, &now.y);
    if (now.x == target.x && now.y == target.y) break;
    SDL_Delay(10);
  }
  SDL_Delay(100);
  PumpEvents();
  // The position a motion stores is used by the next event.
  for (int i = 0; i < 2; ++i) PushMotion(0, 0);
}

SDL_Point LauncherWindowTest::WindowPosition() {
  SDL_Point point{0, 0};
  SDL_GetWindowPosition(launcher_->GetRenderContext().window, &point.x, &point.y);
  return point;
}

void LauncherWindowTest::RunFrames(int count) {
  for (int i = 0; i < count; ++i) {
    PumpEvents();
    launcher_->RunFrame(kFrameNs);
  }
}

void LauncherWindowTest::RunQueuedTasks() {
  for (int guard = 0; guard < 50 && launcher_->HasTasks(); ++guard) RunFrames(1);
}

cFrame::cFrame(SDL_Renderer* renderer) : pixels_(kWidth * kHeight, 0) {
  SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels_.data(), kWidth * 4);
}

SDL_Color cFrame::At(int x, int y) const {
  const Uint32 pixel = pixels_[static_cast<std::size_t>(y) * kWidth + x];
  return SDL_Color{static_cast<Uint8>(pixel >> 16), static_cast<Uint8>(pixel >> 8), static_cast<Uint8>(pixel), 255};
}

bool cFrame::Same(const cFrame& other, const SDL_Rect& area) const {
  for (int y = area.y; y < area.y + area.h; ++y) {
    for (int x = area.x; x < area.x + area.w; ++x) {
      if (pixels_[y * kWidth + x] != other.pixels_[y * kWidth + x]) return false;
    }
  }
  return true;
}

bool cFrame::DiffersOnlyWithin(const cFrame& other, const SDL_Rect& box) const {
  bool inside = false;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      if (pixels_[y * kWidth + x] == other.pixels_[y * kWidth + x]) continue;
      const bool within = x >= box.x && x < box.x + box.w && y >= box.y && y < box.y + box.h;
      if (!within) return false;
      inside = true;
    }
  }
  return inside;
}

bool cFrame::SaveAs(const std::string& name) const {
  const std::filesystem::path directory = Utf8Path(QVL_SCREENSHOT_DIR);
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  std::vector<Uint32> copy = pixels_;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(copy.data(), kWidth, kHeight, 32, kWidth * 4,
                                                            SDL_PIXELFORMAT_ARGB8888);
  if (surface == nullptr) return false;
  // Opaque: the window's pixels carry no alpha of their own.
  SDL_SetSurfaceBlendMode(surface, SDL_BLENDMODE_NONE);
  SDL_Surface* rgb = SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_RGB24, 0);
  const std::string path = std::string(QVL_SCREENSHOT_DIR) + QVL_SCREENSHOT_PLATFORM + "-" + name;
  // SDL_image may be built without a PNG writer (the static builds are): BMP
  // then, converted afterwards. The file is closed here: without a writer,
  // SDL_image would leave a stream it was given to close open.
  bool saved = false;
  if (rgb != nullptr) {
    SDL_RWops* png = SDL_RWFromFile((path + ".png").c_str(), "wb");
    saved = png != nullptr && IMG_SavePNG_RW(rgb, png, 0) == 0;
    if (png != nullptr) saved = SDL_RWclose(png) == 0 && saved;
  }
  if (!saved && rgb != nullptr) {
    std::filesystem::remove(Utf8Path(path + ".png"), error);
    saved = SDL_SaveBMP(rgb, (path + ".bmp").c_str()) == 0;
  }
  if (rgb != nullptr) SDL_FreeSurface(rgb);
  SDL_FreeSurface(surface);
  return saved;
}

}  // namespace quarvel::launcher::testing
