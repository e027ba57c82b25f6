#include <SDL.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/screens/testing/launcher_window_fixture.h"

// The screens as a player sees them: each state is driven the way the
// loader's callbacks drive it, frames run until the fades have settled, and
// the window's pixels are probed and saved as a screenshot.
namespace quarvel::launcher {
namespace {

using testing::cFrame;
using testing::DisplaySettings;
using testing::LauncherWindowTest;

constexpr int kSettleFrames = 3 * 64 + 10;  // the logo has played out, and a cross-fade takes 102 frames
const ui::Colour kFillStart{51, 155, 255, 255};
const ui::Colour kFillEnd{119, 225, 255, 255};
const SDL_Rect kCloseBox{762, 0, 38, 38};

// Wide enough for two lines, with its breaks where the wrapping cuts it in two.
const char* kLongMessage =
    "The game was not started because the anti-cheat module could not be verified. "
    "Signature check returned 0x800B0109_CERT_E_UNTRUSTEDROOT_CHAIN_IS_NOT_TRUSTED.";

SDL_Rect BoxOf(const ui::cUiElement& element, unsigned part) {
  const ui::Rect rect = element.GetRect(part);
  return SDL_Rect{rect.x, rect.y, rect.w, rect.h};
}

// The box grown by the one-pixel drop shadow.
SDL_Rect WithShadow(SDL_Rect box) {
  return SDL_Rect{box.x, box.y, box.w + 1, box.h + 1};
}

// The gradient's colour in column `column` of a fill `width` wide.
SDL_Color GradientAt(int column, int width) {
  auto channel = [&](int start, int end) {
    return static_cast<Uint8>(start + (end - start) * static_cast<double>(column + 1) / width);
  };
  return SDL_Color{channel(kFillStart.r, kFillEnd.r), channel(kFillStart.g, kFillEnd.g),
                   channel(kFillStart.b, kFillEnd.b), 255};
}

bool Near(SDL_Color a, SDL_Color b, int tolerance = 2) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

class ScreenTest : public LauncherWindowTest {
 protected:
  SDL_Renderer* Renderer() { return launcher_->GetRenderContext().renderer; }

  // Runs frames until the percentage text shows its longest variant.
  void ShowAllDots() {
    const auto text = launcher_->GetText(kPercentText);
    const std::uint32_t last = static_cast<std::uint32_t>(text->CopyLines().size()) - 1;
    for (int guard = 0; guard < 40 && text->CurrentIndex() != last; ++guard) RunFrames(1);
  }

  // A frame drawn now, without advancing any animation.
  cFrame Draw() {
    launcher_->RenderFrame();
    return cFrame(Renderer());
  }

  // True when `element`, drawn at `alpha`, changes exactly the pixels of
  // `box` and nothing else.
  bool DrawsOnlyWithin(ui::cUiElement& element, const SDL_Rect& box) {
    const cFrame shown = Draw();
    const std::uint8_t alpha = element.GetAlpha(PicturePartOf(element));
    SetAlpha(element, 0);
    const cFrame hidden = Draw();
    SetAlpha(element, alpha);
    return shown.DiffersOnlyWithin(hidden, box);
  }

  bool IsActive(std::int32_t id) {
    const auto active = launcher_->GetActiveElements();
    const auto element = launcher_->GetElement(id);
    return std::find(active.begin(), active.end(), element) != active.end();
  }

  void ExpectFillUpTo(const cFrame& frame, int width) {
    const int barY = 445;
    for (int column : {0, width / 2, width - 1}) {
      EXPECT_TRUE(Near(frame.At(column, barY), GradientAt(column, width))) << "fill column " << column;
    }
    if (width < 800) {
      EXPECT_FALSE(Near(frame.At(width + 2, barY), GradientAt(width + 2, width), 20));
    }
  }

  void ExpectTextShown(std::int32_t id) {
    const auto text = launcher_->GetText(id);
    ASSERT_TRUE(text);
    // A cycling text is probed on its longest variant; the first may be empty.
    const std::uint32_t last = static_cast<std::uint32_t>(text->CopyLines().size()) - 1;
    for (int guard = 0; guard < 40 && text->Kind() == ui::TextKind::Cycling && text->CurrentIndex() != last; ++guard) {
      RunFrames(1);
    }
    EXPECT_EQ(text->GetAlpha(ui::kPartNone), 255) << id;
    SDL_Rect box = BoxOf(*text, ui::kPartTextTexture);
    if (text->Kind() == ui::TextKind::MultiLine) {
      // Lines are centred on the widest one, which gives the box its width.
      const ui::TextureList lines = text->CopyLines();
      int widest = 0;
      for (const auto& line : lines) widest = std::max(widest, line->width);
      box.w = widest;
    }
    EXPECT_GT(box.w, 0) << id;
    EXPECT_TRUE(DrawsOnlyWithin(*text, text->HasDropShadow() ? WithShadow(box) : box)) << id;
  }

  void ExpectCloseButton(bool shown) {
    auto& image = launcher_->GetButton(kCloseButton)->Image();
    EXPECT_EQ(BoxOf(image, ui::kPartNone).x, 762);
    if (shown) {
      EXPECT_EQ(image.GetAlpha(ui::kPartNone), 150);
      EXPECT_TRUE(DrawsOnlyWithin(image, kCloseBox));
    } else {
      EXPECT_EQ(image.GetAlpha(ui::kPartNone), 0);
    }
  }

  // The status texts sit right-aligned 33 pixels from the window's edge,
  // their feet 8 pixels above the bar.
  void ExpectStatusLayout() {
    const auto status = launcher_->GetText(kStatusText);
    const auto percent = launcher_->GetText(kPercentText);
    EXPECT_EQ(percent->GetY(ui::kPartNone) + percent->GetBlockHeight(), 424);
    EXPECT_EQ(status->GetY(ui::kPartNone) + status->GetBlockHeight(), 424);
    EXPECT_LE(percent->GetX(ui::kPartNone) + percent->GetLayoutWidth(), 800 - 33);
    EXPECT_EQ(status->GetX(ui::kPartNone) + status->GetLayoutWidth() + 11, percent->GetX(ui::kPartNone));
  }

  void ExpectErrorScreen(const cFrame& frame) {
    // The overlay darkens the splash to a tenth.
    for (const SDL_Point point : {SDL_Point{60, 60}, SDL_Point{700, 200}, SDL_Point{400, 440}}) {
      const SDL_Color pixel = frame.At(point.x, point.y);
      EXPECT_LE(std::max({pixel.r, pixel.g, pixel.b}), 30) << point.x << "," << point.y;
    }
    const auto exitButton = launcher_->GetButton(kExitButton);
    const SDL_Rect button = BoxOf(*exitButton, ui::kPartShape);
    EXPECT_EQ(button.x, 320);
    EXPECT_EQ(button.w, 160);
    EXPECT_EQ(button.h, 40);
    // Blue at 150 over the dark overlay, inside the rectangle only.
    const SDL_Color inside = frame.At(button.x + 3, button.y + 3);
    EXPECT_GE(inside.b, 125);
    EXPECT_LE(inside.r, 20);
    const SDL_Color outside = frame.At(button.x - 2, button.y + 3);
    EXPECT_LE(outside.b, 40);
    // Title, message and button stand one under the other, 45 pixels apart.
    const auto title = launcher_->GetText(kErrorTitle);
    const auto message = launcher_->GetText(kErrorMessage);
    EXPECT_EQ(message->GetY(ui::kPartNone), title->GetY(ui::kPartNone) + title->GetBlockHeight() + 45);
    EXPECT_EQ(button.y, message->GetY(ui::kPartNone) + message->GetBlockHeight() + 45);
    ExpectTextShown(kErrorTitle);
    ExpectTextShown(kErrorMessage);
    // The Exit label sits in its button.
    const SDL_Rect label = BoxOf(*exitButton, ui::kPartTextTexture);
    EXPECT_GE(label.x, button.x);
    EXPECT_LE(label.x + label.w, button.x + button.w);
    EXPECT_GE(label.y, button.y);
    EXPECT_LE(label.y + label.h, button.y + button.h);
    ExpectCloseButton(true);
    // The bar and the status texts have faded out.
    for (const std::int32_t id : {kProgressFill, kProgressTrack, kStatusText, kPercentText}) {
      EXPECT_TRUE(!IsActive(id) || launcher_->GetElement(id)->GetAlpha(ui::kPartNone) == 0) << id;
    }
  }

 private:
  static unsigned PicturePartOf(const ui::cUiElement& element) {
    return element.Type() == ui::UiElementType::Text ? ui::kPartTextTexture : ui::kPartNone;
  }
  static void SetAlpha(ui::cUiElement& element, std::uint8_t alpha) { element.SetAlpha(alpha); }
};

TEST_F(ScreenTest, ProgressMidDownload) {
  launcher_->SetState(LauncherState::Downloading);
  launcher_->OnModuleDownloadProgress(450, 1000);
  RunFrames(kSettleFrames);
  const cFrame frame = Draw();
  EXPECT_TRUE(frame.SaveAs("progress"));

  ExpectFillUpTo(frame, 360);
  ExpectTextShown(kStatusText);
  ExpectTextShown(kPercentText);
  ExpectStatusLayout();
  ExpectCloseButton(true);
  // The logo animation plays once and rests on its last frame.
  const auto logo = launcher_->GetAnimatedImage(kLogoAnimation);
  EXPECT_EQ(logo->CurrentFrame(), logo->FrameCount() - 1);
  EXPECT_TRUE(DrawsOnlyWithin(*logo, WithShadow(SDL_Rect{0, 327, 250, 123})));
}

// The logo sheet is decoded while the window opens: the first frame goes out
// without it (the logo's fade has only begun), every later one has it.
TEST_F(ScreenTest, LogoSheetArrivesAfterTheFirstFrame) {
  const auto logo = launcher_->GetAnimatedImage(kLogoAnimation);
  EXPECT_EQ(logo->GetTexture(ui::kPartImage), nullptr);
  EXPECT_EQ(logo->FrameCount(), 64);  // laid out from the sheet's size alone
  launcher_->SetState(LauncherState::Downloading);
  RunFrames(1);
  EXPECT_NE(logo->GetTexture(ui::kPartImage), nullptr);
  EXPECT_EQ(logo->GetAlpha(ui::kPartImage), 5);
}

TEST_F(ScreenTest, Initializing) {
  launcher_->SetState(LauncherState::Downloading);
  launcher_->OnModuleDownloadProgress(1000, 1000);
  RunQueuedTasks();
  ASSERT_EQ(launcher_->GetState(), LauncherState::Initializing);
  RunFrames(kSettleFrames);
  ShowAllDots();
  const cFrame frame = Draw();
  EXPECT_TRUE(frame.SaveAs("initializing"));

  ExpectFillUpTo(frame, 800);
  ExpectTextShown(kStatusText);
  ExpectTextShown(kPercentText);  // the cycling dots
  EXPECT_EQ(launcher_->GetText(kPercentText)->Kind(), ui::TextKind::Cycling);
  ExpectStatusLayout();
  ExpectCloseButton(false);
}

TEST_F(ScreenTest, WaitingForGame) {
  launcher_->SetState(LauncherState::Downloading);
  launcher_->OnModuleDownloadProgress(300, 1000);
  RunFrames(5);
  launcher_->OnGameLauncherFinished(QVL_Success, "started");
  RunQueuedTasks();
  ASSERT_EQ(launcher_->GetState(), LauncherState::WaitingForGame);
  RunFrames(kSettleFrames);
  ShowAllDots();
  const cFrame frame = Draw();
  EXPECT_TRUE(frame.SaveAs("waiting"));

  ExpectFillUpTo(frame, 800);  // complete at once, not pulled back by the 30 % resize
  ExpectTextShown(kStatusText);
  ExpectTextShown(kPercentText);
  ExpectStatusLayout();
  ExpectCloseButton(false);
  EXPECT_TRUE(SDL_GetWindowFlags(launcher_->GetRenderContext().window) & SDL_WINDOW_SHOWN);
}

TEST_F(ScreenTest, ErrorWithTwoLineMessage) {
  launcher_->SetState(LauncherState::Downloading);
  launcher_->OnModuleDownloadProgress(600, 1000);
  RunFrames(20);
  launcher_->OnGameLauncherFinished(QVL_ModuleLoadFailed, kLongMessage);
  RunQueuedTasks();
  ASSERT_EQ(launcher_->GetState(), LauncherState::Error);
  RunFrames(kSettleFrames);
  const cFrame frame = Draw();
  EXPECT_TRUE(frame.SaveAs("error"));

  const auto message = launcher_->GetText(kErrorMessage);
  ASSERT_EQ(message->Kind(), ui::TextKind::MultiLine);
  EXPECT_EQ(message->CopyLines().size(), 2u);
  ExpectErrorScreen(frame);
  EXPECT_FALSE(launcher_->ExitRequested());
}

// Every line of a multi-line message stands centred in the window.
TEST_F(ScreenTest, ErrorMessageLinesAreCentredInTheWindow) {
  launcher_->SetState(LauncherState::Downloading);
  RunFrames(5);
  launcher_->OnGameLauncherFinished(QVL_ModuleLoadFailed, kLongMessage);
  RunQueuedTasks();
  RunFrames(kSettleFrames);
  const auto message = launcher_->GetText(kErrorMessage);
  const ui::TextureList lines = message->CopyLines();
  ASSERT_EQ(lines.size(), 2u);
  ASSERT_NE(lines[0]->width, lines[1]->width);
  const cFrame shown = Draw();
  message->SetAlpha(0);
  const cFrame hidden = Draw();
  message->SetAlpha(255);
  const int firstHeight = lines[0]->height;
  const int gap = std::max(lines[0]->height, lines[1]->height) / 2;
  for (int i = 0; i < 2; ++i) {
    const int top = message->GetY(ui::kPartNone) + (firstHeight + gap) * i;
    int left = 800;
    int right = -1;
    for (int y = top; y < top + lines[i]->height; ++y) {
      for (int x = 0; x < 800; ++x) {
        const SDL_Color a = shown.At(x, y);
        const SDL_Color b = hidden.At(x, y);
        if (a.r == b.r && a.g == b.g && a.b == b.b) continue;
        left = std::min(left, x);
        right = std::max(right, x);
      }
    }
    ASSERT_GE(right, left) << "line " << i;
    EXPECT_NEAR((left + right) / 2.0, 400.0, 3.0) << "line " << i;
  }
}

// The progress and error screens in a language of the Latin-less scripts the
// built-in fonts draw (Russian) and one they do not (Japanese).
class LocalizedScreenTest : public ScreenTest, public ::testing::WithParamInterface<const char*> {
 protected:
  void SetUp() override { StartLauncher(DisplaySettings{.language = GetParam(), .country = ""}); }

  std::string Text(const char* key, const char* fallback, const std::vector<std::string>& arguments = {}) {
    return launcher_->GetCatalogue().GetString(key, fallback, arguments);
  }

  // The texts are the language's own, not English defaults.
  void ExpectOwnLanguage() {
    EXPECT_EQ(launcher_->GetLocalizationName(), GetParam());
    std::string value;
    std::string error;
    ASSERT_TRUE(launcher_->GetCatalogue().Lookup("launcher.btn_exit", value, error)) << error;
    EXPECT_EQ(Text("launcher.btn_exit", "Exit"), value);
    EXPECT_NE(value, "Exit");
    ASSERT_TRUE(launcher_->GetCatalogue().Lookup("launcher.loading", value, error)) << error;
    EXPECT_EQ(Text("launcher.loading", "LOADING"), value);
  }
};

TEST_P(LocalizedScreenTest, ProgressMidDownload) {
  ExpectOwnLanguage();
  launcher_->SetState(LauncherState::Downloading);
  launcher_->OnModuleDownloadProgress(450, 1000);
  RunFrames(kSettleFrames);
  const cFrame frame = Draw();
  EXPECT_TRUE(frame.SaveAs(std::string("progress-") + GetParam()));
  ExpectFillUpTo(frame, 360);
  ExpectTextShown(kStatusText);
  ExpectTextShown(kPercentText);
  ExpectStatusLayout();
  ExpectCloseButton(true);
}

TEST_P(LocalizedScreenTest, ErrorWithTwoLineMessage) {
  ExpectOwnLanguage();
  launcher_->SetState(LauncherState::Downloading);
  launcher_->OnModuleDownloadProgress(600, 1000);
  RunFrames(20);
  const std::string message = Text("launcher_error.error_game_binary_not_found", "Could not locate the game binary: '{0}'",
                                   {"C:\\Games\\Quarvel Sample\\Binaries\\Win64\\QuarvelSample.exe"});
  launcher_->OnGameLauncherFinished(QVL_GameBinaryInvalid, message.c_str());
  RunQueuedTasks();
  ASSERT_EQ(launcher_->GetState(), LauncherState::Error);
  RunFrames(kSettleFrames);
  const cFrame frame = Draw();
  EXPECT_TRUE(frame.SaveAs(std::string("error-") + GetParam()));
  const auto text = launcher_->GetText(kErrorMessage);
  ASSERT_EQ(text->Kind(), ui::TextKind::MultiLine);
  EXPECT_EQ(text->CopyLines().size(), 2u);
  ExpectErrorScreen(frame);
}

INSTANTIATE_TEST_SUITE_P(Languages, LocalizedScreenTest, ::testing::Values("ja", "ru"),
                         [](const auto& info) { return std::string(info.param); });

class HiddenGuiTest : public ScreenTest {
 protected:
  void SetUp() override {
    DisplaySettings display;
    display.hideGui = true;
    StartLauncher(display);
  }
};

TEST_F(HiddenGuiTest, ProgressShowsOnlyTheSplashAndTheCloseButton) {
  launcher_->SetState(LauncherState::Downloading);
  launcher_->OnModuleDownloadProgress(450, 1000);
  RunFrames(kSettleFrames);
  const cFrame frame = Draw();
  EXPECT_TRUE(frame.SaveAs("hide-gui-progress"));

  for (const std::int32_t id : {kLogoAnimation, kStaticLogo, kProgressTrack, kProgressFill, kStatusText, kPercentText}) {
    EXPECT_FALSE(IsActive(id)) << id;
  }
  EXPECT_FALSE(Near(frame.At(100, 445), GradientAt(100, 360), 10));
  EXPECT_TRUE(IsActive(kSplashImage));
  EXPECT_EQ(launcher_->GetImage(kSplashImage)->GetAlpha(ui::kPartNone), 255);
  ExpectCloseButton(true);
}

class HiddenBootstrapperTest : public ScreenTest {
 protected:
  void SetUp() override {
    DisplaySettings display;
    display.hideBootstrapper = true;
    StartLauncher(display);
  }
};

TEST_F(HiddenBootstrapperTest, OnlyTheErrorScreenIsShown) {
  launcher_->SetState(LauncherState::Downloading);
  EXPECT_TRUE(launcher_->GetActiveElements().empty());
  EXPECT_FALSE(SDL_GetWindowFlags(launcher_->GetRenderContext().window) & SDL_WINDOW_SHOWN);
  launcher_->OnGameLauncherFinished(QVL_CdnUnreachable, kLongMessage);
  RunQueuedTasks();
  ASSERT_EQ(launcher_->GetState(), LauncherState::Error);
  EXPECT_TRUE(Logged("Making the bootstrapper window visible to display information about an occurred error."));
  EXPECT_TRUE(SDL_GetWindowFlags(launcher_->GetRenderContext().window) & SDL_WINDOW_SHOWN);
  RunFrames(kSettleFrames);
  const cFrame frame = Draw();
  EXPECT_TRUE(frame.SaveAs("hide-bootstrapper-error"));
  ExpectErrorScreen(frame);
}

TEST_F(ScreenTest, StatusTextsOfOtherLinesAreRefused) {
  launcher_->SetStatusTexts(3, "A", "B");
  EXPECT_TRUE(Logged("[Err!] Called with an invalid value: 3."));
  EXPECT_FALSE(launcher_->GetElement(6000));
}

}  // namespace
}  // namespace quarvel::launcher
