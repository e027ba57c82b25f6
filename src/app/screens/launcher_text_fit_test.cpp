#include <algorithm>
#include <string>
#include <vector>

#include "app/screens/testing/launcher_window_fixture.h"
#include "localization/catalogue_keys.h"
#include "launch/launch_catalogue.h"
#include "localization/directory_listing.h"

// Every text of every shipped language, laid out by the launcher's own code
// with the fonts it binds for that language, stays inside its box and the
// 800 x 450 window: the status texts between the logo and the percentage,
// the Exit label inside its button, an error title on one line and an error
// message in at most two lines, with the Exit button still inside the window.
namespace quarvel::launcher {
namespace {

using testing::DisplaySettings;
using testing::LauncherWindowTest;

constexpr int kWindowWidth = 800;
constexpr int kWindowHeight = 450;
constexpr int kLogoWidth = 250;  // the logo animation's frame, bottom left
constexpr int kSideMargin = 10;  // an error line keeps this far from the window's edges

struct Locale {
  std::string file;  // "zh_cn"
  std::string language;
  std::string country;
};

std::vector<Locale> ShippedLocales() {
  std::string directory;
  GetLocalizationDirectory(directory);
  std::vector<Locale> locales;
  for (const std::string& file : ListFilesWithExtension(directory, ".cfg")) {
    const std::string name = file.substr(0, file.size() - 4);
    const std::size_t underscore = name.find('_');
    locales.push_back({name, name.substr(0, underscore),
                       underscore == std::string::npos ? "" : name.substr(underscore + 1)});
  }
  return locales;
}

// What the program puts into the placeholders and after the texts that
// take a detail: typical values, not the longest conceivable ones.
struct Message {
  const char* key;
  std::vector<std::string> arguments;
  const char* detail;
};
const Message kMessages[] = {
    {"launcher.error_no_settings_file", {"Settings.json"}, nullptr},
    {"launcher.error_missing_required_field", {"Settings.json", "deploymentid"}, nullptr},
    {"launcher.error_invalid_tavik_identifier", {"Settings.json", "productid"}, nullptr},
    {"launcher_error.create_thread", {}, nullptr},
    {"launcher_error.empty_executable_field", {}, nullptr},
    {"launcher_error.working_directory", {}, nullptr},
    {"launcher_error.error_game_binary_not_found", {"Binaries\\Win64\\Game.exe"}, nullptr},
    {"launcher_error.error_game_binary_is_directory", {}, nullptr},
    {"launcher_error.error_connection_failed", {}, "Could not resolve host: modules.example.com"},
    {"launcher_error.error_disallowed_cdn_path", {}, nullptr},
    {"launcher_error.error_dns_connection_failed", {"7"}, nullptr},
    {"launcher_error.error_cancelled", {}, nullptr},
    {"launcher_error.error_dns", {}, nullptr},
    {"launcher_error.error_dns_resolve_failed", {}, nullptr},
    {"launcher_error.error_http_response", {"404", "22"}, nullptr},
    {"launcher_error.success_loaded", {}, nullptr},
    {"launcher_error.error_invalid_executable_path", {}, "Binaries\\Win64\\Game.exe"},
    {"launcher_error.error_missing_directory_path", {}, nullptr},
    {"launcher_error.error_missing_binary_path", {}, nullptr},
    {"launcher_error.error_create_process", {"2"}, nullptr},
    {"launcher_error.error_internal", {}, nullptr},
    {"launcher_error.error_module_loading", {}, nullptr},
    {"launcher_error.error_certificate_validation", {}, nullptr},
    {"launcher_error.error_game_binary_not_found_wine", {}, nullptr},
    {"launcher_error.error_module_initialize", {"1003"}, nullptr},
};

class TextFitTest : public LauncherWindowTest {
 protected:
  void SetUp() override {}

  std::string Text(const char* key, const std::vector<std::string>& arguments = {}) {
    const char* fallback = FindDefaultText(key);
    return launcher_->GetCatalogue().GetString(key, fallback != nullptr ? fallback : "", arguments);
  }

  // The status text cycling its dots, beside the percentage (state 2) or
  // beside the cycling dots (states 3 and 4), right-aligned above the bar.
  void ExpectStatusFits(const char* key, LauncherState state) {
    SCOPED_TRACE(key);
    const auto status = launcher_->GetText(kStatusText);
    const auto percent = launcher_->GetText(kPercentText);
    SDL_Renderer* renderer = launcher_->GetRenderContext().renderer;
    ASSERT_TRUE(status->ReplaceText(renderer, Text(key) + "[...]"));
    ASSERT_TRUE(percent->ReplaceText(renderer, state == LauncherState::Downloading ? "100%" : "[...]"));
    launcher_->SetState(state);
    launcher_->LayoutStatusTexts();
    EXPECT_EQ(status->Kind(), ui::TextKind::Cycling);
    EXPECT_GE(status->GetX(ui::kPartNone), kLogoWidth) << "runs into the logo";
    EXPECT_LE(status->GetX(ui::kPartNone) + status->GetLayoutWidth(), percent->GetX(ui::kPartNone));
    EXPECT_LE(percent->GetX(ui::kPartNone) + percent->GetLayoutWidth(), kWindowWidth);
    EXPECT_GE(status->GetY(ui::kPartNone), 0);
  }

  void ExpectExitLabelFits() {
    const auto exitButton = launcher_->GetButton(kExitButton);
    const ui::Rect shape = exitButton->GetRect(ui::kPartShape);
    const ui::Rect label = exitButton->GetRect(ui::kPartTextTexture);
    EXPECT_GT(label.w, 0);
    EXPECT_GE(label.x, shape.x) << "Exit label";
    EXPECT_LE(label.x + label.w, shape.x + shape.w) << "Exit label";
    EXPECT_GE(label.y, shape.y) << "Exit label";
    EXPECT_LE(label.y + label.h, shape.y + shape.h) << "Exit label";
  }

  // An error screen with `title` and `message` as LayoutErrorScreen places them.
  void ExpectErrorFits(const std::string& title, const std::string& message) {
    SCOPED_TRACE(title + " / " + message);
    SDL_Renderer* renderer = launcher_->GetRenderContext().renderer;
    const auto titleText = launcher_->GetText(kErrorTitle);
    const auto messageText = launcher_->GetText(kErrorMessage);
    ASSERT_TRUE(titleText->ReplaceText(renderer, title));
    ASSERT_TRUE(messageText->ReplaceText(renderer, message));
    launcher_->LayoutErrorScreen();

    EXPECT_EQ(titleText->Kind(), ui::TextKind::Static) << "the title wraps";
    EXPECT_GE(titleText->GetX(ui::kPartNone), kSideMargin);
    EXPECT_LE(titleText->GetX(ui::kPartNone) + titleText->GetLayoutWidth(), kWindowWidth - kSideMargin);
    const ui::TextureList lines = messageText->CopyLines();
    std::string widths;
    for (const auto& line : lines) widths += " " + std::to_string(line->width);
    EXPECT_LE(lines.size(), 2u) << "more than two lines, widths:" << widths;
    // Every line is centred on the block, which is centred in the window.
    EXPECT_GE(messageText->GetX(ui::kPartNone), kSideMargin);
    EXPECT_LE(messageText->GetX(ui::kPartNone) + messageText->GetLayoutWidth(), kWindowWidth - kSideMargin);
    const ui::Rect button = launcher_->GetButton(kExitButton)->GetRect(ui::kPartShape);
    EXPECT_LE(button.y + button.h, kWindowHeight) << "the Exit button leaves the window";
  }
};

TEST_F(TextFitTest, EveryShippedTextFitsItsBox) {
  const std::vector<Locale> locales = ShippedLocales();
  ASSERT_GE(locales.size(), 24u);
  for (const Locale& locale : locales) {
    SCOPED_TRACE(locale.file);
    StartLauncher(DisplaySettings{.language = locale.language, .country = locale.country});
    if (HasFatalFailure()) return;
    ASSERT_EQ(launcher_->GetLocalizationName(), locale.file);
    // Drawn in its own language: no text fell back to English for lack of glyphs.
    for (const CatalogueText& text : kCatalogueTexts) {
      std::string value;
      std::string error;
      if (!launcher_->GetCatalogue().Lookup(text.key, value, error)) continue;
      EXPECT_EQ(Text(text.key), value) << text.key << " is not drawn in " << locale.file;
    }

    ExpectStatusFits("launcher.loading", LauncherState::Downloading);
    ExpectStatusFits("launcher.initializing", LauncherState::Initializing);
    ExpectStatusFits("launcher.success_waiting_for_game", LauncherState::WaitingForGame);
    ExpectExitLabelFits();
    const std::string titles[] = {Text("launcher.error_cancel"), Text("launcher.error_launch"),
                                  Text("launcher.error_install")};
    for (const std::string& title : titles) ExpectErrorFits(title, Text("launcher_error.error_internal"));
    for (const Message& message : kMessages) {
      std::string text = Text(message.key, message.arguments);
      if (message.detail != nullptr) text = AppendDetail(text, message.detail);
      ExpectErrorFits(titles[1], text);
    }
    StopLauncher();
  }
}

}  // namespace
}  // namespace quarvel::launcher
