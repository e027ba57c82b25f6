#include "ui/frame_look.h"

#include <gtest/gtest.h>

#include "ui/assets/testing/test_renderer.h"
#include "ui/elements/shape_element.h"
#include "ui/elements/text_element.h"

namespace quarvel::ui {
namespace {

constexpr std::int64_t kFrameNs = 16'000'000;
constexpr int kFramesPerCycle = 32;

using Elements = std::vector<std::shared_ptr<cUiElement>>;

class FrameLookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(canvas_.Ready());
    font_ = canvas_.Font("Light", 20);
    ASSERT_NE(font_, nullptr) << "Open Sans is needed in " << QVL_TEST_FONT_DIR;
  }

  std::shared_ptr<cTextElement> Text(const std::string& content) {
    auto text = std::make_shared<cTextElement>(1, 4001, 0, 255, true);
    text->SetFont(font_);
    EXPECT_TRUE(text->ReplaceText(canvas_.renderer, content));
    text->SetPosition(100, 200);
    text->SetAlpha(255);
    return text;
  }

  testing::cLogCapture log_;
  testing::cTestCanvas canvas_;
  cFontSlot* font_ = nullptr;
};

TEST_F(FrameLookTest, ShapesThatMoveOrFadeChangeTheLookAndIdleOnesKeepIt) {
  auto track = std::make_shared<cShapeElement>(UiElementType::Rectangle, 1, 3001, 0, 114);
  track->Configure(800, 10, Colour{255, 255, 255, 255});
  track->SetPosition(0, 440);
  track->SetAlpha(114);
  const Elements elements{track};
  const cFrameLook before = cFrameLook::Of(elements);

  track->Update(kFrameNs);  // nothing pending: an idle frame
  EXPECT_TRUE(cFrameLook::Of(elements) == before);

  track->SetPosition(0, 439);
  EXPECT_FALSE(cFrameLook::Of(elements) == before);
  track->SetPosition(0, 440);
  EXPECT_TRUE(cFrameLook::Of(elements) == before);

  track->FadeTo(0, 5);
  track->Update(kFrameNs);
  EXPECT_FALSE(cFrameLook::Of(elements) == before);
}

TEST_F(FrameLookTest, ACyclingTextChangesTheLookOnlyWhileItCanBeSeen) {
  const auto status = Text("WAITING FOR GAME[...]");
  ASSERT_EQ(status->Kind(), TextKind::Cycling);
  const Elements elements{status};

  cFrameLook shown = cFrameLook::Of(elements);
  for (int i = 0; i < kFramesPerCycle - 1; ++i) status->Update(kFrameNs);
  EXPECT_TRUE(cFrameLook::Of(elements) == shown);
  status->Update(kFrameNs);  // the next variant, with one more dot
  EXPECT_FALSE(cFrameLook::Of(elements) == shown);

  // Faded out, it still cycles, but nothing on the window changes.
  status->SetAlpha(0);
  const cFrameLook hidden = cFrameLook::Of(elements);
  for (int i = 0; i < kFramesPerCycle; ++i) status->Update(kFrameNs);
  EXPECT_TRUE(cFrameLook::Of(elements) == hidden);
}

TEST_F(FrameLookTest, ANewTextOfTheSameSizeInTheSamePlaceChangesTheLook) {
  const auto percent = Text("0%");
  const Elements elements{percent};
  const cFrameLook before = cFrameLook::Of(elements);
  const std::int32_t width = percent->GetWidth(kPartTextTexture);
  // Digits are equally wide: only the texture tells the two apart, even if
  // the new one were made where the old one was freed.
  ASSERT_TRUE(percent->ReplaceText(canvas_.renderer, "1%"));
  ASSERT_EQ(percent->GetWidth(kPartTextTexture), width);
  percent->SetAlpha(255);
  EXPECT_FALSE(cFrameLook::Of(elements) == before);
}

}  // namespace
}  // namespace quarvel::ui
