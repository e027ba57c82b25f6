#include <SDL_ttf.h>

#include <algorithm>

#include "app/anticheat_launcher.h"
#include "app/switches.h"

// Where the elements stand in the 800 x 450 window. Layout runs at set-up,
// when a status text changes and when the error screen is shown; never per
// frame.
namespace quarvel::launcher {
namespace {

constexpr std::int32_t kLogoHeight = 123;
const ui::Colour kFillStart{51, 155, 255, 255};
const ui::Colour kFillEnd{119, 225, 255, 255};
const ui::Colour kTrackColour{255, 255, 255, 114};
const ui::Colour kOverlayColour{0, 0, 0, 229};
const ui::Colour kExitButtonColour{0, 116, 228, 150};

}  // namespace

void AntiCheatLauncher::LayoutImages() {
  const std::int32_t height = renderContext_.height;
  GetImage(kSplashImage)->SetPosition(0, 0);
  GetAnimatedImage(kLogoAnimation)->SetPosition(0, height - kLogoHeight);
  const auto staticLogo = GetImage(kStaticLogo);
  staticLogo->SetPosition(0, height - kLogoHeight);
  staticLogo->SetAlpha(0);
  staticLogo->SetFadeEnabled(0);  // only the key sequence reveals it
}

void AntiCheatLauncher::LayoutProgressBar() {
  const std::int32_t width = renderContext_.width;
  const std::int32_t barHeight = renderContext_.height / 45;
  const std::int32_t barY = renderContext_.height - barHeight;
  const auto fill = GetShape(kProgressFill);
  const auto track = GetShape(kProgressTrack);
  fill->ConfigureGradient(0, barHeight, {kFillStart, kFillEnd});
  track->Configure(width, barHeight, kTrackColour);
  fill->SetPosition(0, barY);
  track->SetPosition(0, barY);
}

void AntiCheatLauncher::LayoutOverlay() {
  const auto overlay = GetShape(kErrorOverlay);
  overlay->Configure(renderContext_.width, renderContext_.height, kOverlayColour);
  overlay->SetPosition(0, 0);
}

void AntiCheatLauncher::LayoutStatusTexts() {
  const auto fill = GetShape(kProgressFill);
  const auto status = GetText(kStatusText);
  const auto percent = GetText(kPercentText);
  if (!fill || !status || !percent) return;
  const std::int32_t width = renderContext_.width;
  const std::int32_t height = renderContext_.height;
  const std::int32_t barY = fill->GetY(ui::kPartNone);
  const std::int32_t margin =
      std::min(static_cast<std::int32_t>(height * 0.075), static_cast<std::int32_t>(width * 0.04375));

  std::int32_t reserve = 0;
  if (state_ == LauncherState::Downloading) {
    // Room for "100%", so the texts stay put while the percentage grows.
    const ui::cFontSlot* font = percent->GetFont();
    if (font == nullptr || font->font == nullptr) {
      Log(LogLevel::Error, "Called prior to providing a font!");
    } else {
      reserve = ui::MeasureTextWidth(font->font, "100%");
    }
  } else {
    reserve = percent->GetLayoutWidth();
  }
  const std::int32_t x2 = width - reserve - margin;
  const std::int32_t baseline = barY - margin / 2;
  percent->SetPosition(x2, baseline - percent->GetBlockHeight());
  status->SetPosition(x2 - margin / 3 - status->GetLayoutWidth(), baseline - status->GetBlockHeight());
}

void AntiCheatLauncher::LayoutErrorTexts() {
  LayoutStatusTexts();
  GetText(kErrorTitle)->SetPosition(renderContext_.width / 2, GetShape(kErrorOverlay)->GetY(ui::kPartNone));
}

void AntiCheatLauncher::LayoutButtons(ui::cFontSlot* labelFont) {
  const auto overlay = GetShape(kErrorOverlay);
  const auto exitButton = GetButton(kExitButton);
  const std::int32_t buttonWidth = static_cast<std::int32_t>(overlay->GetWidth(ui::kPartNone) * 0.2);
  const std::int32_t buttonHeight = static_cast<std::int32_t>(overlay->GetHeight(ui::kPartNone) * 0.09);
  const std::int32_t x = renderContext_.width / 2 - buttonWidth / 2;
  const std::int32_t y = overlay->GetY(ui::kPartNone) + overlay->GetHeight(ui::kPartNone) - 2 * buttonHeight;

  ui::cTextElement& label = exitButton->Label();
  label.SetFont(labelFont);
  const std::string text = catalogue_.GetString("launcher.btn_exit", "Exit");
  if (labelFont != nullptr && labelFont->font != nullptr && !text.empty()) {
    if (exitButton->Shape().Configure(buttonWidth, buttonHeight, kExitButtonColour)) {
      label.ReplaceText(renderContext_.renderer, text);
    }
    label.CentreIn(exitButton->Shape());
  } else {
    Log(LogLevel::Error, "Called with invalid parameters: %p, '%s'!", static_cast<void*>(labelFont), text.c_str());
  }
  exitButton->SetPosition(x, y);

  const auto closeButton = GetButton(kCloseButton);
  closeButton->SetPosition(renderContext_.width - closeButton->GetWidth(ui::kPartImage), 0);
}

void AntiCheatLauncher::LayoutErrorScreen() {
  if (headlessMode) return;
  const auto title = GetText(kErrorTitle);
  const auto message = GetText(kErrorMessage);
  const auto exitButton = GetButton(kExitButton);
  if (!title || !message || !exitButton) return;
  const std::int32_t width = renderContext_.width;
  const std::int32_t top = static_cast<std::int32_t>(renderContext_.height * 0.23);
  const std::int32_t gap = static_cast<std::int32_t>(renderContext_.height * 0.1);

  const std::int32_t titleY = top + title->GetBlockHeight() / 2;
  title->SetPosition(width / 2 - title->GetLayoutWidth() / 2, titleY);
  const std::int32_t messageY = titleY + title->GetBlockHeight() + gap;
  message->SetPosition(width / 2 - message->GetLayoutWidth() / 2, messageY);
  exitButton->SetPosition(exitButton->GetX(ui::kPartShape), messageY + message->GetBlockHeight() + gap);
}

void AntiCheatLauncher::SetStatusTexts(int line, const std::string& first, const std::string& second) {
  if (headlessMode) return;
  std::int32_t firstId = kStatusText;
  std::int32_t secondId = kPercentText;
  if (line == 2) {
    firstId = kErrorTitle;
    secondId = kErrorMessage;
  } else if (line != 1) {
    Log(LogLevel::Error, "Called with an invalid value: %u.", static_cast<unsigned>(line));
    return;
  }
  if (auto text = GetText(firstId)) text->SetText(renderContext_.renderer, first);
  if (auto text = GetText(secondId)) text->SetText(renderContext_.renderer, second);
}

}  // namespace quarvel::launcher
