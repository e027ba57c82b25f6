#include "ui/render_context.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "ui/assets/testing/test_renderer.h"
#include "ui/elements/image_element.h"
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

TEST_F(RenderContextTest, MultiLineTextCentresEveryLineOnItsWidestLine) {
  cFontSlot* font = canvas_.Font("Regular", 14);
  ASSERT_NE(font, nullptr);
  cTextElement message(3, 4004, 255);
  message.SetFont(font);
  // The colon ends a short first line; the widest line comes later.
  ASSERT_TRUE(message.ReplaceText(canvas_.renderer,
                                  "Could not locate the game binary: C:/Program Files/Quarvel Sample Game/"
                                  "Binaries/Win64/QuarvelSampleGame-Win64-Shipping.exe"));
  ASSERT_EQ(message.Kind(), TextKind::MultiLine);
  const TextureList lines = message.CopyLines();
  ASSERT_GE(lines.size(), 2u);
  int widest = 0;
  for (const auto& line : lines) widest = std::max(widest, line->width);
  ASSERT_LT(lines.front()->width + 20, widest) << "the first line should be the narrower";
  message.SetAlpha(255);
  message.SetPosition(400 - widest / 2, 100);
  ASSERT_TRUE(context_.Submit(&message));

  // The ink of every line stands centred on the window's middle column.
  const int first = lines[0]->height;
  int tallest = 0;
  for (const auto& line : lines) tallest = std::max(tallest, line->height);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const int top = 100 + (first + tallest / 2) * static_cast<int>(i);
    int left = 800;
    int right = -1;
    for (int y = top; y < top + lines[i]->height; ++y) {
      for (int x = 0; x < 800; ++x) {
        if (canvas_.PixelAt(x, y).r <= 128) continue;
        left = std::min(left, x);
        right = std::max(right, x);
      }
    }
    ASSERT_GE(right, left) << "line " << i << " has no ink";
    EXPECT_NEAR((left + right) / 2.0, 400.0, 3.0) << "line " << i;
  }
}

// A picture without an alpha channel: copied at full alpha, blended while it
// fades, and either way it keeps its blend mode for the next draw.
TEST_F(RenderContextTest, OpaquePicturesCoverAndStillFade) {
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, 8, 8, 24, SDL_PIXELFORMAT_RGB24);
  ASSERT_NE(surface, nullptr);
  SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 200, 100, 50));
  cTexture picture;
  picture.Adopt(SDL_CreateTextureFromSurface(canvas_.renderer, surface), 8, 8);
  SDL_FreeSurface(surface);
  ASSERT_NE(picture.handle, nullptr);
  SDL_SetTextureBlendMode(picture.handle, SDL_BLENDMODE_BLEND);

  struct Case {
    std::uint8_t alpha;
    Colour under;
    Colour expected;
  };
  const Case cases[] = {
      {255, Colour{10, 240, 90, 255}, Colour{200, 100, 50, 255}},
      {0, Colour{10, 240, 90, 255}, Colour{10, 240, 90, 255}},
      {255, Colour{0, 0, 0, 255}, Colour{200, 100, 50, 255}},
  };
  for (const Case& c : cases) {
    SDL_SetRenderDrawColor(canvas_.renderer, c.under.r, c.under.g, c.under.b, 255);
    SDL_RenderClear(canvas_.renderer);
    cImageElement image(0, 1001, c.alpha);
    image.BindTexture(&picture);
    image.SetPosition(4, 4);
    ASSERT_TRUE(context_.Submit(&image));
    EXPECT_TRUE(SameColour(canvas_.PixelAt(6, 6), c.expected)) << int(c.alpha);
    SDL_BlendMode mode = SDL_BLENDMODE_NONE;
    SDL_GetTextureBlendMode(picture.handle, &mode);
    EXPECT_EQ(mode, SDL_BLENDMODE_BLEND);
  }
  // Half faded in over black: about half of each channel.
  SDL_SetRenderDrawColor(canvas_.renderer, 0, 0, 0, 255);
  SDL_RenderClear(canvas_.renderer);
  cImageElement image(0, 1001, 128);
  image.BindTexture(&picture);
  ASSERT_TRUE(context_.Submit(&image));
  const SDL_Color half = canvas_.PixelAt(2, 2);
  EXPECT_NEAR(half.r, 100, 2);
  EXPECT_NEAR(half.g, 50, 2);
  EXPECT_NEAR(half.b, 25, 2);
}

TEST_F(RenderContextTest, NullAndUnknownElementsAreRefused) {
  EXPECT_FALSE(context_.Submit(nullptr));
  EXPECT_TRUE(log_.Logged("[Err!] Called with an invalid object!"));
}

}  // namespace
}  // namespace quarvel::ui
