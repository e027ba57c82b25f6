#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "ui/assets/testing/test_renderer.h"
#include "ui/elements/button_element.h"
#include "ui/elements/image_element.h"
#include "ui/elements/shape_element.h"
#include "ui/elements/sprite_sheet.h"
#include "ui/elements/text_element.h"

namespace quarvel::ui {
namespace {

constexpr std::int64_t kFrameNs = 16'000'000;

void RunUpdates(cUiElement& element, int count) {
  for (int i = 0; i < count; ++i) element.Update(kFrameNs);
}

using Factory = std::function<std::unique_ptr<cUiElement>(std::uint8_t alpha, std::uint8_t cap)>;

struct ElementKind {
  const char* name;
  Factory make;
};

const ElementKind kKinds[] = {
    {"rectangle",
     [](std::uint8_t alpha, std::uint8_t cap) {
       return std::make_unique<cShapeElement>(UiElementType::Rectangle, 1, 3001, alpha, cap);
     }},
    {"gradient",
     [](std::uint8_t alpha, std::uint8_t cap) {
       auto shape = std::make_unique<cShapeElement>(UiElementType::Gradient, 1, 3002, alpha, cap);
       shape->ConfigureGradient(10, 10, {Colour{0, 0, 0, alpha}, Colour{9, 9, 9, alpha}});
       return shape;
     }},
    {"image", [](std::uint8_t alpha, std::uint8_t cap) { return std::make_unique<cImageElement>(0, 1001, alpha, cap); }},
    {"animated image",
     [](std::uint8_t alpha, std::uint8_t cap) { return std::make_unique<cAnimatedImageElement>(1, 2001, alpha, cap); }},
    {"text", [](std::uint8_t alpha, std::uint8_t cap) { return std::make_unique<cTextElement>(1, 4001, alpha, cap); }},
};

// What an element draws, as far as the loop's sleep could miss a change.
struct Drawn {
  std::uint8_t alpha[2];
  Rect rect[2];
  Rect source;
  bool operator==(const Drawn&) const = default;
};

Drawn DrawnOf(const cUiElement& element) {
  Drawn drawn{};
  // A shape button draws its shape and its label.
  const bool button = element.Type() == UiElementType::ShapeButton;
  const unsigned parts[2] = {button ? kPartShape : kPartNone, button ? kPartTextBlock : kPartNone};
  for (int i = 0; i < 2; ++i) {
    drawn.alpha[i] = element.GetAlpha(parts[i]);
    drawn.rect[i] = element.GetRect(parts[i]);
  }
  if (const Rect* source = element.GetSourceRect()) drawn.source = *source;
  return drawn;
}

// Steps `element` frame by frame for `frames`; at each frame the element's
// promise must hold: no change before the frame that makes up its
// TimeUntilChange, and one step of all those frames at once draws what the
// single steps draw.
void ExpectPromisesKept(const std::function<std::unique_ptr<cUiElement>()>& make, int frames, const char* name) {
  auto element = make();
  for (int frame = 0; frame < frames; ++frame) {
    const std::int64_t until = element->TimeUntilChange();
    ASSERT_GE(until, 0) << name << " frame " << frame;
    if (until > kFrameNs && until != kNoChangeDue) {
      const int quiet = static_cast<int>((until + kFrameNs - 1) / kFrameNs);
      // A twin in the same state, stepped through the quiet frames at once.
      auto twin = make();
      RunUpdates(*twin, frame);
      const Drawn before = DrawnOf(*element);
      for (int i = 1; i < quiet; ++i) {
        element->Update(kFrameNs);
        ASSERT_EQ(DrawnOf(*element), before) << name << " changed " << i << " frames into a promised quiet at "
                                             << frame;
      }
      element->Update(kFrameNs);
      twin->Update(quiet * kFrameNs);
      ASSERT_EQ(DrawnOf(*twin), DrawnOf(*element)) << name << " stepped at once from frame " << frame;
      frame += quiet - 1;
      continue;
    }
    element->Update(kFrameNs);
  }
  EXPECT_EQ(element->TimeUntilChange(), kNoChangeDue) << name << " never settled";
}

TEST(ElementModel, TimeUntilChangeIsAPromiseTheLoopCanSleepOn) {
  static cTexture sheet;
  sheet.width = 1000;
  sheet.height = 1968;
  using Make = std::function<std::unique_ptr<cUiElement>()>;
  const std::pair<const char*, Make> cases[] = {
      {"playing sprite sheet",
       [] {
         auto logo = std::make_unique<cAnimatedImageElement>(1, 2001);
         logo->BindTexture(&sheet);
         logo->SetSheet(SpriteLayout::Grid, 64, 250, 123);
         logo->FadeTo(255, 5);
         return logo;
       }},
      {"sprite sheet bound after its frames were placed",
       [] {
         auto logo = std::make_unique<cAnimatedImageElement>(1, 2001);
         logo->SetSheet(SpriteLayout::Grid, 64, 250, 123);
         logo->ShowFrame(63);
         logo->BindTexture(&sheet);
         return logo;
       }},
      {"fading, moving picture",
       [] {
         auto image = std::make_unique<cImageElement>(0, 1001);
         image->FadeTo(200, 5);
         image->MoveTo(30, 40, 2, 3);
         return image;
       }},
      {"resizing shape",
       [] {
         auto fill = std::make_unique<cShapeElement>(UiElementType::Rectangle, 1, 3001, 255);
         fill->Configure(10, 8, Colour{1, 2, 3, 255});
         fill->ResizeTo(300, 8, 10, 1);
         return fill;
       }},
      {"button fading in",
       [] {
         auto button = std::make_unique<cButtonElement>(UiElementType::ShapeButton, 4, 5001, [] {}, 0);
         button->Shape().Configure(160, 40, Colour{0, 116, 228, 0});
         button->FadeTo(150, 5);
         return button;
       }},
  };
  for (const auto& [name, make] : cases) ExpectPromisesKept(make, 400, name);
}

TEST(ElementModel, LoopingSheetNeverSettles) {
  cTexture sheet;
  sheet.width = 3000;
  sheet.height = 123;
  cAnimatedImageElement logo(1, 2001);
  logo.BindTexture(&sheet);
  logo.SetSheet(SpriteLayout::HorizontalStrip, 12, 250, 123);
  logo.SetLoop(1);
  RunUpdates(logo, 500);
  EXPECT_LE(logo.TimeUntilChange(), cAnimatedImageElement::kDefaultFrameDurationNs);
}

TEST(ElementModel, FadesStopAtTheCapAndNeedFadingEnabled) {
  struct Case {
    const char* what;
    std::uint8_t start, cap;
    std::uint32_t fadeEnabled;
    std::int32_t target, step;
    std::uint8_t expected;
  };
  const Case cases[] = {
      {"capped fade in", 0, 114, 1, 255, 5, 114},
      {"full fade in", 0, 255, 1, 255, 5, 255},
      {"fade out", 200, 255, 1, 0, 5, 0},
      {"fading disabled", 40, 255, 0, 255, 5, 40},
      {"step larger than the distance", 0, 255, 1, 7, 5, 7},
  };
  for (const ElementKind& kind : kKinds) {
    for (const Case& c : cases) {
      auto element = kind.make(c.start, c.cap);
      element->SetFadeEnabled(c.fadeEnabled);
      element->FadeTo(c.target, c.step);
      RunUpdates(*element, 200);
      EXPECT_EQ(element->GetAlpha(kPartNone), c.expected) << kind.name << ": " << c.what;
      EXPECT_FALSE(element->IsAnimating(kAnimFade)) << kind.name << ": " << c.what;
    }
  }
}

TEST(ElementModel, CappedFadeStopsAtTheCapOnTheWay) {
  cShapeElement track(UiElementType::Rectangle, 1, 3001, 0, 114);
  track.FadeTo(255, 5);
  EXPECT_EQ(track.TargetAlpha(), 114);
  RunUpdates(track, 22);
  EXPECT_EQ(track.GetAlpha(kPartNone), 110);
  RunUpdates(track, 1);
  EXPECT_EQ(track.GetAlpha(kPartNone), 114);
}

TEST(ElementModel, MovesGoHorizontallyFirstThenVertically) {
  const std::vector<std::pair<int, int>> expected = {{1, 0}, {2, 0}, {3, 0}, {3, 1}, {3, 2}};
  for (const ElementKind& kind : kKinds) {
    auto element = kind.make(255, 255);
    element->MoveTo(3, 2, 1, 1);
    for (const auto& [x, y] : expected) {
      element->Update(kFrameNs);
      EXPECT_EQ(element->GetX(kPartNone), x) << kind.name;
      EXPECT_EQ(element->GetY(kPartNone), y) << kind.name;
      EXPECT_TRUE(element->IsAnimating(kAnimMove)) << kind.name;
    }
    element->Update(kFrameNs);
    EXPECT_FALSE(element->IsAnimating(kAnimMove)) << kind.name;
  }
}

TEST(ElementModel, ShapesResizeWidthFirst) {
  cShapeElement fill(UiElementType::Gradient, 1, 3002, 255);
  fill.ConfigureGradient(0, 10, {Colour{51, 155, 255, 255}, Colour{119, 225, 255, 255}});
  fill.ResizeTo(25, 12, 10, 1);
  const std::vector<std::pair<int, int>> expected = {{10, 10}, {20, 10}, {25, 10}, {25, 11}, {25, 12}};
  for (const auto& [width, height] : expected) {
    fill.Update(kFrameNs);
    EXPECT_EQ(fill.GetWidth(kPartNone), width);
    EXPECT_EQ(fill.GetHeight(kPartNone), height);
  }
  fill.Update(kFrameNs);
  EXPECT_FALSE(fill.IsAnimating(kAnimResize));
}

TEST(ElementModel, ResetClearsAnimationsAndEnablesFading) {
  cImageElement image(1, 2002);
  image.SetFadeEnabled(0);
  image.MoveTo(5, 5, 1, 1);
  image.Reset();
  EXPECT_EQ(image.Flags(), 0u);
  EXPECT_EQ(image.FadeEnabled(), 1u);
}

TEST(ElementModel, SpriteSheetShapes) {
  struct Case {
    std::int32_t width, height;
    SpriteLayout layout;
    std::int32_t frames;
    std::int32_t probeFrame;
    Rect probeSource;
  };
  const Case cases[] = {
      {1000, 1968, SpriteLayout::Grid, 64, 17, {250, 123, 250, 123}},
      {250, 2952, SpriteLayout::VerticalStrip, 24, 5, {0, 615, 250, 123}},
      {3000, 123, SpriteLayout::HorizontalStrip, 12, 5, {1250, 0, 250, 123}},
  };
  for (const Case& c : cases) {
    const SpriteSheetShape shape = ChooseSpriteSheetShape(c.width, c.height, 250, 123);
    EXPECT_EQ(shape.layout, c.layout) << c.width << "x" << c.height;
    EXPECT_EQ(shape.frameCount, c.frames) << c.width << "x" << c.height;

    cTexture sheet;
    sheet.width = c.width;
    sheet.height = c.height;
    cAnimatedImageElement logo(1, 2001);
    logo.BindTexture(&sheet);
    logo.SetSheet(shape.layout, shape.frameCount, 250, 123);
    // A 33 ms frame lasts three 16 ms updates.
    RunUpdates(logo, 3 * c.probeFrame - 1);
    EXPECT_EQ(logo.CurrentFrame(), c.probeFrame - 1);
    RunUpdates(logo, 1);
    EXPECT_EQ(logo.CurrentFrame(), c.probeFrame);
    EXPECT_EQ(*logo.GetSourceRect(), c.probeSource) << c.width << "x" << c.height;
    // Without looping it stays on the last frame.
    RunUpdates(logo, 3 * c.frames + 30);
    EXPECT_EQ(logo.CurrentFrame(), c.frames - 1);
    EXPECT_EQ(logo.GetRect(kPartImage), (Rect{0, 0, 250, 123}));
  }
}

TEST(ElementModel, LoopingSheetStartsOver) {
  cTexture sheet;
  sheet.width = 3000;
  sheet.height = 123;
  cAnimatedImageElement logo(1, 2001);
  logo.BindTexture(&sheet);
  logo.SetSheet(SpriteLayout::HorizontalStrip, 12, 250, 123);
  logo.SetLoop(1);
  RunUpdates(logo, 3 * 12);
  EXPECT_EQ(logo.CurrentFrame(), 0);
  EXPECT_EQ(logo.GetSourceRect()->x, 0);
}

TEST(ElementModel, ButtonsFadeByTheirEnabledFlag) {
  struct Case {
    UiElementType type;
    bool enabled;
    std::int32_t target;
    std::uint8_t expected;
  };
  const Case cases[] = {
      {UiElementType::ShapeButton, false, 255, 0},
      {UiElementType::ShapeButton, true, 255, 255},
      {UiElementType::ImageButton, false, 255, 0},
      {UiElementType::ImageButton, true, 150, 150},
  };
  for (const Case& c : cases) {
    cButtonElement button(c.type, 4, 5001, [] {}, 150);
    button.SetEnabled(c.enabled);
    button.FadeTo(c.target, 5);
    RunUpdates(button, 100);
    const unsigned part = c.type == UiElementType::ShapeButton ? kPartShape : kPartImage;
    EXPECT_EQ(button.GetAlpha(part), c.expected) << static_cast<int>(c.type) << " enabled " << c.enabled;
  }
}

TEST(ElementModel, HitTestExcludesTheBorder) {
  cButtonElement exitButton(UiElementType::ShapeButton, 4, 5002, [] {}, 150);
  exitButton.Shape().Configure(160, 40, Colour{0, 116, 228, 150});
  exitButton.SetPosition(320, 370);
  struct Case {
    int x, y;
    bool inside;
  };
  const Case cases[] = {{320, 390, false}, {321, 390, true}, {479, 409, true},
                        {480, 390, false}, {400, 370, false}, {400, 410, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(exitButton.HitTest(c.x, c.y, 0, 0), c.inside) << c.x << "," << c.y;
  }
  // The window position is the offset.
  EXPECT_TRUE(exitButton.HitTest(421, 490, 100, 100));
  EXPECT_FALSE(exitButton.HitTest(321, 390, 100, 100));
}

TEST(ElementModel, UnsupportedButtonPartsAnswerZero) {
  testing::cLogCapture log;
  cButtonElement button(UiElementType::ImageButton, 4, 5001, [] {}, 150);
  EXPECT_EQ(button.GetHeight(9), 0);
  EXPECT_EQ(button.GetTexture(9), nullptr);
  EXPECT_TRUE(log.Logged("[Err!] Called with unsupported element type: 9!"));
  EXPECT_TRUE(log.Logged("Called with unsupported type: 9."));
}

TEST(ElementModel, ButtonAlphaCapsTheShapeAndLeavesTheImage) {
  cButtonElement button(UiElementType::ShapeButton, 4, 5002, [] {}, 150);
  button.SetAlpha(200);
  EXPECT_EQ(button.GetAlpha(kPartShape), 200);
  EXPECT_EQ(button.GetAlpha(kPartTextTexture), 200);
  EXPECT_EQ(button.GetAlpha(kPartImage), 150);
}

}  // namespace
}  // namespace quarvel::ui
