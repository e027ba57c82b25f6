#include <algorithm>

#include "app/anticheat_launcher.h"
#include "ui/assets/embedded_assets.h"
#include "ui/elements/sprite_sheet.h"

// The twelve elements of the window, the four screens they make up and the
// list of active elements that is updated and drawn.
namespace quarvel::launcher {
namespace {

using ui::UiElementType;

constexpr std::int32_t kLogoFrameWidth = 250;
constexpr std::int32_t kLogoFrameHeight = 123;
constexpr std::uint8_t kButtonAlpha = 150;

template <typename Element>
std::shared_ptr<Element> Find(const std::map<std::int32_t, std::shared_ptr<Element>>& registry, std::int32_t id) {
  const auto found = registry.find(id);
  return found == registry.end() ? nullptr : found->second;
}

bool Contains(const AntiCheatLauncher::ElementList& list, const ui::cUiElement* element) {
  return std::any_of(list.begin(), list.end(), [&](const auto& entry) { return entry.get() == element; });
}

}  // namespace

bool AntiCheatLauncher::CreateUserInterfaceElements() {
  if (!shapes_.empty() || !images_.empty() || !texts_.empty() || !buttons_.empty()) return false;

  images_[kSplashImage] = std::make_shared<ui::cImageElement>(0, kSplashImage);
  animatedImages_[kLogoAnimation] = std::make_shared<ui::cAnimatedImageElement>(1, kLogoAnimation, 0, 255, true);
  images_[kStaticLogo] = std::make_shared<ui::cImageElement>(1, kStaticLogo);
  shapes_[kProgressTrack] = std::make_shared<ui::cShapeElement>(UiElementType::Rectangle, 1, kProgressTrack, 0, 114);
  shapes_[kProgressFill] = std::make_shared<ui::cShapeElement>(UiElementType::Gradient, 1, kProgressFill, 0, 255);
  shapes_[kErrorOverlay] = std::make_shared<ui::cShapeElement>(UiElementType::Rectangle, 2, kErrorOverlay, 0, 229);
  texts_[kStatusText] = std::make_shared<ui::cTextElement>(1, kStatusText, 0, 255, true);
  texts_[kPercentText] = std::make_shared<ui::cTextElement>(1, kPercentText, 0, 255, true);
  texts_[kErrorTitle] = std::make_shared<ui::cTextElement>(3, kErrorTitle, 0, 255, false);
  texts_[kErrorMessage] = std::make_shared<ui::cTextElement>(3, kErrorMessage, 0, 255, false);
  buttons_[kCloseButton] = std::make_shared<ui::cButtonElement>(
      UiElementType::ImageButton, 4, kCloseButton, [this] { OnCloseButton(); }, kButtonAlpha);
  buttons_[kExitButton] = std::make_shared<ui::cButtonElement>(
      UiElementType::ShapeButton, 4, kExitButton, [this] { OnExitButton(); }, kButtonAlpha);
  return !shapes_.empty() && !images_.empty() && !texts_.empty() && !buttons_.empty();
}

void AntiCheatLauncher::BuildScreens() {
  auto list = [this](std::initializer_list<std::int32_t> ids) {
    ElementList elements;
    for (const std::int32_t id : ids) elements.push_back(GetElement(id));
    return elements;
  };
  if (!settings_.hide_bootstrapper) {
    if (settings_.hide_gui) {
      progressScreen_ = list({kSplashImage, kCloseButton});
      initializingScreen_ = list({kSplashImage});
      waitingScreen_ = list({kSplashImage});
    } else {
      progressScreen_ = list({kSplashImage, kLogoAnimation, kStaticLogo, kProgressTrack, kProgressFill, kStatusText,
                              kPercentText, kCloseButton});
      initializingScreen_ =
          list({kSplashImage, kLogoAnimation, kStaticLogo, kProgressTrack, kProgressFill, kStatusText});
      waitingScreen_ = list({kSplashImage, kLogoAnimation, kStaticLogo, kProgressTrack, kProgressFill, kStatusText,
                             kPercentText});
    }
  }
  errorScreen_ = list({kSplashImage, kLogoAnimation, kStaticLogo, kErrorOverlay, kErrorTitle, kErrorMessage,
                       kCloseButton, kExitButton});
  if (settings_.hide_logo_animation) {
    if (auto logo = GetAnimatedImage(kLogoAnimation)) logo->SetFadeEnabled(0);
  }
}

bool AntiCheatLauncher::InitializeUserInterfaceElements() {
  ui::cFontSlot* fonts[6];
  for (std::int32_t id = 0; id < 6; ++id) fonts[id] = assets_.GetFont(id);
  ui::cTexture* splash = assets_.GetTexture(ui::kTextureSplash);
  ui::cTexture* close = assets_.GetTexture(ui::kTextureClose);
  ui::cTexture* sheet = assets_.GetTexture(ui::kTextureLogoSheet);
  ui::cTexture* staticLogo = assets_.GetTexture(ui::kTextureLogoStatic);
  if (std::find(std::begin(fonts), std::end(fonts), nullptr) != std::end(fonts) || splash == nullptr ||
      close == nullptr || sheet == nullptr) {
    Log(LogLevel::Error, "Failed at retrieving one or more required assets");
    return false;
  }

  GetImage(kSplashImage)->BindTexture(splash);
  if (staticLogo != nullptr) GetImage(kStaticLogo)->BindTexture(staticLogo);
  const auto closeButton = GetButton(kCloseButton);
  if (closeButton->Type() == UiElementType::ShapeButton) {
    Log(LogLevel::Error, "Tried initializing for the wrong type, current %u, attempted: %u.", 6u, 7u);
  } else {
    closeButton->Image().BindTexture(close);
  }

  const auto logo = GetAnimatedImage(kLogoAnimation);
  logo->BindTexture(sheet);
  const ui::SpriteSheetShape shape =
      ui::ChooseSpriteSheetShape(sheet->width, sheet->height, kLogoFrameWidth, kLogoFrameHeight);
  logo->SetSheet(shape.layout, shape.frameCount, kLogoFrameWidth, kLogoFrameHeight);

  GetText(kStatusText)->SetFont(fonts[ui::kFontLight20]);
  GetText(kPercentText)->SetFont(fonts[ui::kFontBold20]);
  GetText(kErrorTitle)->SetFont(fonts[ui::kFontLight30]);
  GetText(kErrorMessage)->SetFont(fonts[ui::kFontRegular14]);

  GetText(kStatusText)->ReplaceText(renderContext_.renderer, catalogue_.GetString("launcher.loading", "LOADING") + "[...]");
  GetText(kPercentText)->ReplaceText(renderContext_.renderer, "0%");

  LayoutImages();
  LayoutProgressBar();
  LayoutOverlay();
  LayoutErrorTexts();
  LayoutButtons(fonts[ui::kFontBold12]);
  return true;
}

std::shared_ptr<ui::cAnimatedImageElement> AntiCheatLauncher::GetAnimatedImage(std::int32_t id) const {
  return Find(animatedImages_, id);
}
std::shared_ptr<ui::cButtonElement> AntiCheatLauncher::GetButton(std::int32_t id) const { return Find(buttons_, id); }
std::shared_ptr<ui::cShapeElement> AntiCheatLauncher::GetShape(std::int32_t id) const { return Find(shapes_, id); }
std::shared_ptr<ui::cImageElement> AntiCheatLauncher::GetImage(std::int32_t id) const { return Find(images_, id); }
std::shared_ptr<ui::cTextElement> AntiCheatLauncher::GetText(std::int32_t id) const { return Find(texts_, id); }

AntiCheatLauncher::ElementHandle AntiCheatLauncher::GetElement(std::int32_t id) const {
  switch (id) {
    case kSplashImage:
    case kStaticLogo:
      return GetImage(id);
    case kLogoAnimation:
      return GetAnimatedImage(id);
    case kProgressTrack:
    case kProgressFill:
    case kErrorOverlay:
      return GetShape(id);
    case kStatusText:
    case kPercentText:
    case kErrorTitle:
    case kErrorMessage:
      return GetText(id);
    case kCloseButton:
    case kExitButton:
      return GetButton(id);
    default:
      return nullptr;
  }
}

AntiCheatLauncher::ElementList AntiCheatLauncher::GetActiveElements() const {
  std::lock_guard lock(activeElementsLock_);
  return activeElements_;
}

void AntiCheatLauncher::MergeActiveElements(const ElementList& elements, bool replace) {
  if (elements.empty()) return;
  std::lock_guard lock(activeElementsLock_);
  if (replace) activeElements_.clear();
  for (const ElementHandle& element : elements) {
    if (element && !Contains(activeElements_, element.get())) activeElements_.push_back(element);
  }
  // Stable, so a later element of a layer stays over an earlier one.
  std::stable_sort(activeElements_.begin(), activeElements_.end(),
                   [](const ElementHandle& a, const ElementHandle& b) { return a->Layer() < b->Layer(); });
}

const AntiCheatLauncher::ElementList& AntiCheatLauncher::ScreenFor(LauncherState state) const {
  switch (state) {
    case LauncherState::Loading:
    case LauncherState::Downloading:
      return progressScreen_;
    case LauncherState::Initializing:
      return initializingScreen_;
    case LauncherState::WaitingForGame:
      return waitingScreen_;
    case LauncherState::Error:
      return errorScreen_;
    default:
      Log(LogLevel::Error, "Called with an unsupported value: %u.", static_cast<unsigned>(state));
      return progressScreen_;
  }
}

void AntiCheatLauncher::SwitchScreen(LauncherState state) {
  const ElementList& screen = ScreenFor(state);
  MergeActiveElements(screen, false);
  const ElementList snapshot = GetActiveElements();
  if (auto close = GetButton(kCloseButton)) {
    close->SetEnabled(state == LauncherState::Downloading || state == LauncherState::Error);
  }
  for (const ElementHandle& element : snapshot) {
    if (Contains(screen, element.get())) {
      element->FadeTo(element->IsButton() ? 150 : 255, 5);
    } else {
      element->Reset();
      element->FadeTo(0, 5);
    }
  }
  MergeActiveElements(snapshot, true);
}

}  // namespace quarvel::launcher
