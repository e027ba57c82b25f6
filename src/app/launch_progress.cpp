#include "app/anticheat_launcher.h"

#include <algorithm>

#include "analytics/analytics_tavik.h"
#include "app/launch_lock.h"
#include "app/switches.h"

namespace quarvel::launcher {
namespace {

struct StatusText {
  const char* key;
  const char* defaultText;
};

StatusText StatusTextFor(std::int32_t result) {
  switch (result) {
    case QVL_LaunchCanceled:
      return {"launcher.error_cancel", "Launch Canceled"};
    case QVL_CdnUnreachable:
    case QVL_CdnTransferFailed:
      Log(LogLevel::Error, "Could not reach the Quarvel CDN!");
      return {"launcher.error_launch", "Network error"};
    case QVL_InstallFailed:
      return {"launcher.error_install", "Install Error"};
    case QVL_Success:
      return {"launcher.success_waiting_for_game", "WAITING FOR GAME"};
    default:
      return {"launcher.error_launch", "Launch Error"};
  }
}

}  // namespace

QVL_ModuleDownloadProgressResult AntiCheatLauncher::OnModuleDownloadProgress(std::uint32_t received,
                                                                              std::uint32_t expected) {
  const std::uint32_t percent =
      expected != 0 ? static_cast<std::uint32_t>(std::uint64_t{received} * 100 / expected) : 0;
  Log(LogLevel::Info, "Current progress: %u (%u/%u).", percent, received, expected);

  std::uint32_t done = maxBytesDone_.load();
  while (received > done && !maxBytesDone_.compare_exchange_weak(done, received)) {
  }
  std::uint32_t total = maxBytesTotal_.load();
  while (expected > total && !maxBytesTotal_.compare_exchange_weak(total, expected)) {
  }
  if (received != 0 && received == expected) downloadEnd_ = MonotonicNowNs();

  if (percent > lastPercent_.load() && state_ == LauncherState::Downloading) {
    PostTask([this] {
      RunProgressTask();
      return false;
    });
  }
  lastPercent_ = percent;
  return exitFlag_.load() ? QVL_Cancel : QVL_Continue;
}

void AntiCheatLauncher::RunProgressTask() {
  if (state_ != LauncherState::Downloading) return;
  const auto fill = GetShape(kProgressFill);
  const auto track = GetShape(kProgressTrack);
  const std::int32_t width = fill ? fill->GetWidth(ui::kPartNone) : 0;
  const std::int32_t height = fill ? fill->GetHeight(ui::kPartNone) : 0;
  const std::int32_t full = track ? track->GetWidth(ui::kPartNone) : 0;
  const std::uint32_t percent = lastPercent_.load();
  // More bytes than announced: the bar and the text stay as they are.
  if (percent > 100) return;

  auto target = static_cast<std::int32_t>(percent / 100.0 * full);
  // Fast while the fill is behind by more than a tenth of the track.
  std::int32_t step = target > full * 0.1 + width ? 10 : 1;
  if (const auto text = GetText(kPercentText)) {
    text->ReplaceText(renderContext_.renderer, std::to_string(percent) + "%");
  }
  LayoutStatusTexts();

  if (percent == 100) {
    const std::string text = catalogue_.GetString("launcher.initializing", "INITIALIZING");
    target = full;
    step = full;  // the fill completes in one frame
    SetState(LauncherState::Initializing);
    SetStatusTexts(1, text, "[...]");
    LayoutStatusTexts();
  }
  if (fill) fill->ResizeTo(target, height, step, 1);
}

void AntiCheatLauncher::CompleteProgressBar() {
  const auto fill = GetShape(kProgressFill);
  const auto track = GetShape(kProgressTrack);
  if (!fill || !track) return;
  const std::int32_t full = track->GetWidth(ui::kPartNone);
  const std::int32_t height = fill->GetHeight(ui::kPartNone);
  fill->SetSize(full, height);
  // A resize still running from an earlier report would pull it back.
  fill->ResizeTo(full, height, full, 1);
}

void AntiCheatLauncher::ShowFinalLogoFrame() {
  if (const auto logo = GetAnimatedImage(kLogoAnimation)) logo->ShowFrame(logo->FrameCount() - 1);
}

void AntiCheatLauncher::RevealStaticLogo() {
  // Changes only what the key sequence has enabled for fading.
  if (const auto logo = GetImage(kStaticLogo)) logo->FadeTo(255, 5);
}

void AntiCheatLauncher::OnGameLauncherFinished(QVL_ProtectedGameLaunchResult result, const char* message) {
  {
    std::lock_guard lock(launchMessageLock_);
    // A module may still report the game as started after the start failed
    // (502, then 1002): the player must see the failure, and the run ends
    // with it.
    const std::int32_t previous = launchResult_.load();
    if (result == QVL_Success && launchResultReceived_.load() && previous != QVL_Success) {
      Log(LogLevel::Warning, "Ignoring a success reported after the launch had failed with %u.",
          static_cast<unsigned>(previous));
      return;
    }
    launchMessage_ = message != nullptr ? message : "";
    launchResult_ = result;
    launchResultReceived_ = true;
  }
  std::int64_t unset = kUnsetTimePoint;
  downloadEnd_.compare_exchange_strong(unset, MonotonicNowNs());
  lastPercent_ = 100;
  PostTask([this] {
    RunFinishTask();
    return false;
  });
}

void AntiCheatLauncher::RunFinishTask() {
  const std::int32_t result = launchResult_.load();
  const std::string message = GetLaunchMessage();
  Log(LogLevel::Info, "Launcher finished with: %u, '%s'.", static_cast<unsigned>(result), message.c_str());
  const StatusText status = StatusTextFor(result);
  const std::string text = catalogue_.GetString(status.key, status.defaultText);
  lastPercent_ = 100;
  if (!headlessMode) CompleteProgressBar();

  if (result == QVL_Success) {
    Log(LogLevel::Info,
        "Successfully initialized the Quarvel module, waiting for game window to become visible.");
    if (!headlessMode) RevealStaticLogo();
    SetState(LauncherState::WaitingForGame);
    if (!headlessMode) {
      SetStatusTexts(1, text, "[...]");
      LayoutStatusTexts();
    }
    BeginExitPolling();
  } else {
    SetState(LauncherState::Error);
    if (!headlessMode) {
      SetStatusTexts(2, text, message);
      LayoutErrorScreen();
      ShowFinalLogoFrame();
      settings_.hide_gui = false;
      settings_.hide_bootstrapper = false;
      FlashBootstrapperWindow();
    }
    if (immediateExitOnError) RequestExit();
  }

  Log(LogLevel::Info, "Unlocking the launch lock, allowing next game to launch to take place.");
  ReleaseLaunchLock();
}

std::vector<Analytics::EventDescriptor> AntiCheatLauncher::ReportLaunchAnalytics() {
  if (static_cast<std::int32_t>(settings_.status) < 0 || !launchResultReceived_.load()) return {};
  LaunchFigures figures;
  figures.launchResult = launchResult_.load();
  figures.maxBytesDone = maxBytesDone_.load();
  figures.maxBytesTotal = maxBytesTotal_.load();
  figures.initStart = initStart_;
  figures.downloadStart = downloadStart_.load();
  figures.downloadEnd = downloadEnd_.load();
  figures.pollStart = pollStart_;
  figures.windowVisibleTime = windowVisibleTime_;
  std::vector<Analytics::EventDescriptor> events = ComposeLaunchEvents(figures, MonotonicNowNs());
  // This worker is stopped soon after, as the run ends: a batch it has begun
  // is completed then, one still queued would be discarded. So wait (briefly,
  // never for the network) until it has been taken up.
  AnalyticsTavik::LogEventsAsync(*this, AnalyticsTavik::Destinations::SdkEvents, events)
      .WaitUntilTaken(std::chrono::milliseconds(2000));
  return events;
}

}  // namespace quarvel::launcher
