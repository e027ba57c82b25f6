#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/launch_analytics.h"
#include "app/screens/element_ids.h"
#include "app/window_icons.h"
#include "common/background_worker.h"
#include "common/logger.h"
#include "launch/game_launcher.h"
#include "launch/launcher_settings.h"
#include "launch/process/process_handle.h"
#include "localization/localization.h"
#include "quarvel/module_interface.h"
#include "ui/assets/asset_store.h"
#include "ui/assets/picture_decode.h"
#include "ui/elements/button_element.h"
#include "ui/elements/image_element.h"
#include "ui/elements/shape_element.h"
#include "ui/elements/text_element.h"
#include "ui/frame_look.h"
#include "ui/render_context.h"

struct SDL_MouseMotionEvent;
union SDL_Event;

namespace quarvel::launcher {

enum class LauncherState : std::int32_t {
  Created = 0,
  Loading = 1,
  Downloading = 2,
  Initializing = 3,
  WaitingForGame = 4,
  Error = 5,
};

// The bootstrapper's one long-lived object. It owns what the run needs,
// steps through states that only advance, and runs all its work on the main
// thread through a task queue that the other threads feed. It is also the
// worker thread that sends the run's analytics.
class AntiCheatLauncher : public cBackgroundWorker {
 public:
  using Task = std::function<bool()>;
  using ElementHandle = std::shared_ptr<ui::cUiElement>;
  using ElementList = std::vector<ElementHandle>;

  AntiCheatLauncher(cLogger& logger, const std::vector<std::string>& arguments);
  ~AntiCheatLauncher() override;

  // Starts decoding the built-in splash on a thread of its own, so that it
  // is ready when Initialize needs it; called while SDL starts. Without it
  // Initialize decodes the splash itself.
  void StartSplashDecode();
  // Settings, log file, texts and window. False only when the executable's
  // directory is unknown or the window cannot be made; `error` says why.
  bool Initialize(std::string& error);
  // Creates the game launcher and starts the module download; a bad settings
  // file ends the launch with 207 at once. False when no game launcher could
  // be made.
  bool Start();

  // Requests state `state`; a request that would go backwards is refused.
  // The player's language and country ("ja", "JP") instead of the ones the
  // system reports; before Initialize.
  void SetUserLocale(const std::string& language, const std::string& country);

  void SetState(LauncherState state);
  LauncherState GetState() const { return state_.load(); }

  // Any thread may post; tasks run on the main thread, one per frame. A
  // post wakes a main loop waiting for window events.
  void PostTask(Task task);
  void RunNextTask();
  bool HasTasks();

  // One pending window event, from the main loop.
  void HandleEvent(const SDL_Event& event);
  // A press or release of mouse button `button` (1 is the left one): runs
  // the buttons under the cursor and starts or ends a drag.
  void HandleMouseButton(std::uint32_t eventType, std::uint8_t button);
  // Drags the window, or highlights the buttons under the cursor.
  void HandleMouseMotion(const SDL_MouseMotionEvent& motion);

  // The frame tick of the main loop, `elapsedNs` after its last call: when
  // a frame is due, runs at most one task, steps the animations and draws
  // what changed. Never waits; the loop waits for NextFrameWaitNs.
  void RunFrame(std::int64_t elapsedNs);
  // How long the main loop may wait (for window events) before the next
  // RunFrame must come: what is left of the frame while anything moves or
  // a task waits, else until the next timed change on screen or look at the
  // game's window. `eventsWake`: the loop wakes for window events and posted
  // tasks; without them it waits out single frames only.
  std::int64_t NextFrameWaitNs(bool eventsWake);
  // Clears, draws a snapshot of the active elements in layer order, presents.
  void RenderFrame();
  // The next frame is drawn even if nothing in it changed: the window system
  // lost or resized what was shown.
  void RequestRedraw() { redrawRequested_ = true; }

  // The elements by id; empty handles for ids the registry lacks.
  std::shared_ptr<ui::cAnimatedImageElement> GetAnimatedImage(std::int32_t id) const;
  std::shared_ptr<ui::cButtonElement> GetButton(std::int32_t id) const;
  std::shared_ptr<ui::cShapeElement> GetShape(std::int32_t id) const;
  std::shared_ptr<ui::cImageElement> GetImage(std::int32_t id) const;
  std::shared_ptr<ui::cTextElement> GetText(std::int32_t id) const;
  ElementHandle GetElement(std::int32_t id) const;
  // A copy of the active list, taken under its lock.
  ElementList GetActiveElements() const;
  // Adds the elements not yet active (after emptying the list when
  // `replace`), then orders the list by layer. An empty list changes nothing.
  void MergeActiveElements(const ElementList& elements, bool replace);

  // The status texts: line 1 is the status and percentage, line 2 the error
  // title and message. Each change cross-fades.
  void SetStatusTexts(int line, const std::string& first, const std::string& second);
  void LayoutStatusTexts();
  void LayoutErrorScreen();

  const ui::cRenderContext& GetRenderContext() const { return renderContext_; }
  // True once the hidden key sequence has been released, in any launcher.
  static bool KeySequenceSeen();

  // Called from the module loader's thread.
  QVL_ModuleDownloadProgressResult OnModuleDownloadProgress(std::uint32_t received, std::uint32_t expected);
  void OnGameLauncherFinished(QVL_ProtectedGameLaunchResult result, const char* message);

  // After a successful launch: watch for the game's window, then leave.
  void BeginExitPolling();
  // The end-of-run analytics batch; called once after the main loop.
  // Returns the events of the batch (none when the run has nothing to report).
  std::vector<Analytics::EventDescriptor> ReportLaunchAnalytics();

  // The exit and close buttons.
  void OnExitButton();
  void OnCloseButton();

  bool ExitRequested() const { return exitFlag_.load(); }
  void RequestExit() { exitFlag_.store(true); }
  std::int32_t GetLaunchResult() const { return launchResult_.load(); }
  // Tells "no result arrived" from a received result 0 (unclassified).
  bool LaunchResultReceived() const { return launchResultReceived_.load(); }
  std::string GetLaunchMessage() const;
  const cLauncherSettings& GetSettings() const { return settings_; }
  cGameLauncher* GetGameLauncher() { return gameLauncher_.get(); }
  const cLocalization& GetCatalogue() const { return catalogue_; }
  // The loaded localization file's name without ".cfg", e.g. "ja".
  const std::string& GetLocalizationName() const { return chosenLocalization_; }

  // The log file sink.
  void OpenLogFile();
  void WriteLogLine(unsigned level, const char* line);

 private:
  // Window, assets and screens.
  bool InitializeWindow(std::string& error);
  bool LoadAssets();
  void ShowDefaultsForUndrawableTexts();
  // Waits for the pictures decoded on the side and puts them on screen.
  void FinishPictureWork();
  void StartPictureWork();
  void SetWindowIcon();
  void ShowBootstrapperWindow();
  void HideBootstrapperWindow();
  void FlashBootstrapperWindow();
  void DestroyWindow();

  bool CreateUserInterfaceElements();
  void BuildScreens();
  bool InitializeUserInterfaceElements();
  void LayoutImages();
  void LayoutProgressBar();
  void LayoutOverlay();
  void LayoutErrorTexts();
  void LayoutButtons(ui::cFontSlot* labelFont);
  // The screen switch of a state change: merge, fade in and out, close button.
  void SwitchScreen(LauncherState state);
  const ElementList& ScreenFor(LauncherState state) const;
  // Steps every active element by `animationNs` of animation time.
  void UpdateActiveElements(std::int64_t animationNs);
  // The animation time before anything active changes on screen.
  std::int64_t TimeUntilScreenChange() const;
  // Draws only when the picture would differ from the last one drawn, or a
  // redraw was requested.
  void RenderFrameIfChanged();
  void CheckKeySequence();
  void CompleteProgressBar();
  void ShowFinalLogoFrame();
  void RevealStaticLogo();

  void DetectLocaleAndLoad();
  void LoadLocalization(const std::string& language, const std::string& country);
  // Logs which file the last load chose, why, and whether it loaded.
  void ReportLocalization();
  bool LoadSettings(std::string& error);

  void RunProgressTask();
  void RunFinishTask();
  bool PollForGameWindow();
  void LeaveVisibleState();

  // Members, in the order the run creates them.
  std::atomic<LauncherState> state_{LauncherState::Created};  // read by the loader thread's progress reports
  std::deque<Task> tasks_;
  std::mutex tasksLock_;

  cLauncherSettings settings_;
  std::string settingsFileName_;
  std::string executableDirectory_;
  cLocalization catalogue_;
  std::string country_;
  std::string language_;
  bool localeGiven_ = false;        // SetUserLocale: not detected
  std::string chosenLocalization_;  // the loaded file's name without ".cfg"
  struct LocalizationReport {
    std::string reason;  // why the file was chosen
    bool loaded = false;
    std::string error;
  } localizationReport_;

  std::int64_t frameTimeLeft_ = 0;
  std::int64_t frameInterval_ = 16'000'000;
  // After the last frame: the animation time before the screen changes, so
  // the frames the loop sleeps through are made up for in one step.
  std::int64_t quietNs_ = 0;

  std::unique_ptr<cGameLauncher> gameLauncher_;

  // Progress and result, written by the loader's thread.
  std::atomic<std::uint32_t> lastPercent_{0};
  std::atomic<std::uint32_t> maxBytesDone_{0};
  std::atomic<std::uint32_t> maxBytesTotal_{0};
  std::atomic<std::int64_t> downloadStart_;
  std::atomic<std::int64_t> downloadEnd_;
  std::atomic<std::int32_t> launchResult_{0};
  std::atomic<bool> launchResultReceived_{false};
  std::string launchMessage_;
  // A second result may arrive while a task reads the first; results are
  // recorded under it one at a time.
  mutable std::mutex launchMessageLock_;
  std::int64_t initStart_;

  std::atomic<bool> exitFlag_{false};

  // Exit polling.
  std::int64_t pollStart_ = 0;
  std::int64_t windowVisibleTime_ = 0;
  std::int64_t lastWindowPoll_ = 0;  // when the window system was last asked
  bool windowPollQueued_ = false;    // the poll is among the tasks, due by its own clock
  ProcessHandle gameProcessHandle_;
  std::uint32_t gameProcessId_ = 0;

  // The window and what it shows; headless runs have none of it. Declared
  // so that elements go first, then the assets, then the renderer.
  ui::cRenderContext renderContext_;
  cWindowIcons icons_;
  // Last known global mouse position, refreshed by motion events.
  std::int32_t mouseX_ = 0;
  std::int32_t mouseY_ = 0;
  std::map<std::uint8_t, bool> mouseButtonStates_;  // true while pressed
  std::array<std::uint8_t, 11> keyRing_{};            // low bytes of the last released keys
  std::uint32_t keyRingPosition_ = 0;
  ui::cAssetStore assets_;
  // The logo sheet, decoded while the window opens: the first frame does
  // without it (its fade has only begun), the frames after show it.
  ui::cPictureDecode logoDecode_;
  // The built-in splash, decoded while SDL starts.
  ui::cPictureDecode splashDecode_;
  std::map<std::int32_t, std::shared_ptr<ui::cAnimatedImageElement>> animatedImages_;
  std::map<std::int32_t, std::shared_ptr<ui::cButtonElement>> buttons_;
  std::map<std::int32_t, std::shared_ptr<ui::cShapeElement>> shapes_;
  std::map<std::int32_t, std::shared_ptr<ui::cImageElement>> images_;
  std::map<std::int32_t, std::shared_ptr<ui::cTextElement>> texts_;
  ElementList progressScreen_;
  ElementList initializingScreen_;
  ElementList errorScreen_;
  ElementList waitingScreen_;
  ElementList activeElements_;
  mutable std::mutex activeElementsLock_;
  ui::cFrameLook drawnLook_;  // what the window shows since the last present
  bool redrawRequested_ = true;

  std::vector<std::string> arguments_;
  std::ofstream logFile_;
  unsigned logLevel_ = cLogger::kDefaultMaximumLevel;
  cLogger& logger_;
};

}  // namespace quarvel::launcher
