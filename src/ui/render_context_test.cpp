#include "ui/render_context.h"

#include <gtest/gtest.h>

#include "ui/assets/testing/test_renderer.h"
#include "ui/elements/shape_element.h"
#include "ui/elements/text_element.h"

namespace quarvel::ui {
namespace {

class RenderContextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(canvas_.Ready());
    context_.renderer = canvas_.renderer;
    SDL_SetRenderDrawColor(canvas_.renderer, 0, 0, 0, 255);
    SDL_RenderClear(canvas_.renderer);
  }
  void TearDown() override { context_.renderer = nullptr; }

  testing::cLogCapture log_;
  testing::cTestCanvas canvas_;
  cRenderContext context_;
};

bool SameColour(SDL_Color a, Colour b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

TEST_F(RenderContextTest, GradientRunsLeftToRightAndEndsOnTheEndColour) {
  cShapeElement fill(UiElementType::Gradient, 1, 3002, 255);
  const Colour start{0, 100, 200, 255};
  const Colour end{100, 200, 0, 255};
  fill.ConfigureGradient(10, 4, {start, end});
  fill.SetPosition(20, 30);
  ASSERT_TRUE(context_.Submit(&fill));
  // The first column already carries one step.
  EXPECT_TRUE(SameColour(canvas_.PixelAt(20, 31), Colour{10, 110, 180, 255}));
  EXPECT_TRUE(SameColour(canvas_.PixelAt(29, 31), end));
  EXPECT_TRUE(SameColour(canvas_.PixelAt(30, 31), Colour{0, 0, 0, 255}));
  EXPECT_TRUE(SameColour(canvas_.PixelAt(19, 31), Colour{0, 0, 0, 255}));
  // The draw colour is back to black.
  Uint8 r = 1, g = 1, b = 1, a = 0;
  SDL_GetRenderDrawColor(canvas_.renderer, &r, &g, &b, &a);
  EXPECT_EQ(r + g + b, 0);
}

TEST_F(RenderContextTest, GradientNeedsExactlyTwoColours) {
  for (std::size_t count : {1u, 3u}) {
    cShapeElement fill(UiElementType::Gradient, 1, 3002, 255);
    fill.ConfigureGradient(10, 4, std::vector<Colour>(count, Colour{200, 200, 200, 255}));
    EXPECT_FALSE(context_.Submit(&fill)) << count;
    EXPECT_TRUE(SameColour(canvas_.PixelAt(0, 0), Colour{0, 0, 0, 255})) << count;
  }
}

TEST_F(RenderContextTest, RectangleBlendsItsColour) {
  cShapeElement overlay(UiElementType::Rectangle, 2, 3003, 0, 229);
  overlay.Configure(800, 450, Colour{255, 255, 255, 255});
  overlay.SetAlpha(128);
  ASSERT_TRUE(context_.Submit(&overlay));
  const SDL_Color pixel = canvas_.PixelAt(400, 200);
  EXPECT_NEAR(pixel.r, 128, 2);
}

TEST_F(RenderContextTest, MultiLineTextIsCentredOnItsFirstLine) {
  cFontSlot* font = canvas_.Font("Regular", 14);
  ASSERT_NE(font, nullptr);
  cTextElement message(3, 4004, 255);
  message.SetFont(font);
  ASSERT_TRUE(message.ReplaceText(canvas_.renderer,
                                  "The anti-cheat module could not be downloaded: the server did not answer. "
                                  "Check the connection and start the game again."));
  ASSERT_EQ(message.Kind(), TextKind::MultiLine);
  message.SetAlpha(255);
  message.SetPosition(100, 100);
  ASSERT_TRUE(context_.Submit(&message));
  const TextureList lines = message.CopyLines();
  ASSERT_GE(lines.size(), 2u);
  // Something white in each row of text, nothing left of the first line.
  auto rowHasInk = [&](int top, int height, int left, int right) {
    for (int y = top; y < top + height; ++y) {
      for (int x = left; x < right; ++x) {
        if (canvas_.PixelAt(x, y).r > 128) return true;
      }
    }
    return false;
  };
  const int first = lines[0]->height;
  const int gap = first / 2;
  EXPECT_TRUE(rowHasInk(100, first, 100, 100 + lines[0]->width));
  EXPECT_TRUE(rowHasInk(100 + first + gap, lines[1]->height, 100, 100 + lines[0]->width));
  EXPECT_FALSE(rowHasInk(100, first, 60, 100));
}

TEST_F(RenderContextTest, NullAndUnknownElementsAreRefused) {
  EXPECT_FALSE(context_.Submit(nullptr));
  EXPECT_TRUE(log_.Logged("[Err!] Called with an invalid object!"));
}

}  // namespace
}  // namespace quarvel::ui
