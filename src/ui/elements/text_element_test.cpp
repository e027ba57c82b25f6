#include "ui/elements/text_element.h"

#include <gtest/gtest.h>

#include "ui/assets/testing/test_renderer.h"
#include "ui/elements/text_layout.h"

namespace quarvel::ui {
namespace {

constexpr std::int64_t kFrameNs = 16'000'000;

class TextElementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(canvas_.Ready());
    regular14_ = canvas_.Font("Regular", 14);
    light20_ = canvas_.Font("Light", 20);
    ASSERT_NE(regular14_, nullptr) << "Open Sans is needed in " << QVL_TEST_FONT_DIR;
    ASSERT_NE(light20_, nullptr);
  }

  testing::cLogCapture log_;
  testing::cTestCanvas canvas_;
  cFontSlot* regular14_ = nullptr;
  cFontSlot* light20_ = nullptr;
};

TEST_F(TextElementTest, CyclingTextChangesEvery32ndUpdate) {
  cTextElement status(1, 4001, 0, 255, true);
  status.SetFont(light20_);
  TextureList lines;
  TextKind kind = TextKind::None;
  ASSERT_TRUE(status.BuildTextures(canvas_.renderer, "LOADING[...]", lines, kind));
  EXPECT_EQ(kind, TextKind::Cycling);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_TRUE(log_.Logged("Called with dynamic text element, substring count: 4."));
  // Each variant is wider than the one before it.
  for (std::size_t i = 1; i < lines.size(); ++i) EXPECT_GT(lines[i]->width, lines[i - 1]->width);

  ASSERT_TRUE(status.ReplaceText(canvas_.renderer, "LOADING[...]"));
  for (std::uint32_t expected : {1u, 2u, 3u, 0u}) {
    for (int i = 0; i < 31; ++i) status.Update(kFrameNs);
    EXPECT_NE(status.CurrentIndex(), expected);
    // The frame loop may sleep until the step: it is promised for the next frame.
    EXPECT_GT(status.TimeUntilChange(), 0);
    EXPECT_LE(status.TimeUntilChange(), kFrameNs);
    status.Update(kFrameNs);
    EXPECT_EQ(status.CurrentIndex(), expected);
  }
  // Slept through the 31 frames before a step, one step of all of them.
  status.Update(kFrameNs);
  const std::int64_t until = status.TimeUntilChange();
  EXPECT_EQ(until, cTextElement::kCyclePeriodNs - kFrameNs);
  const std::int64_t frames = (until + kFrameNs - 1) / kFrameNs;
  status.Update((frames - 1) * kFrameNs);
  EXPECT_EQ(status.CurrentIndex(), 0u);
  status.Update(kFrameNs);
  EXPECT_EQ(status.CurrentIndex(), 1u);
}

TEST_F(TextElementTest, StillTextsPromiseNoChange) {
  cTextElement title(1, 4002, 255, 255);
  title.SetFont(light20_);
  ASSERT_TRUE(title.ReplaceText(canvas_.renderer, "WAITING"));
  EXPECT_EQ(title.TimeUntilChange(), kNoChangeDue);
  // A new text cross-fades: it moves every frame until the fade is over.
  ASSERT_TRUE(title.SetText(canvas_.renderer, "LAUNCH ERROR"));
  EXPECT_EQ(title.TimeUntilChange(), 0);
  for (int i = 0; i < 200 && title.TimeUntilChange() == 0; ++i) title.Update(kFrameNs);
  EXPECT_EQ(title.TimeUntilChange(), kNoChangeDue);
}

TEST_F(TextElementTest, BracketsInTheWrongOrderAreOrdinaryText) {
  cTextElement text(3, 4004);
  text.SetFont(regular14_);
  ASSERT_TRUE(text.ReplaceText(canvas_.renderer, "code ]5[ returned"));
  EXPECT_EQ(text.Kind(), TextKind::Static);
  EXPECT_EQ(text.CopyLines().size(), 1u);
}

TEST_F(TextElementTest, LocalizedTextsAreMeasuredAsUtf8) {
  // Read byte by byte as Latin-1 these would measure far wider than 520
  // pixels and be wrapped although they fit on one line.
  const char* texts[] = {
      "Не удалось запустить игру. Проверьте установку и попробуйте снова.",
      "Ungültige Größe: Überprüfen Sie die Dateiberechtigungen für Änderungen.",
  };
  for (const char* message : texts) {
    const int width = MeasureTextWidth(regular14_->font, message);
    EXPECT_GT(width, 300) << message;
    EXPECT_LE(width, kMaxLineWidth) << message;
    int latin1Width = 0;
    int height = 0;
    ASSERT_EQ(TTF_SizeText(regular14_->font, message, &latin1Width, &height), 0);
    EXPECT_GT(latin1Width, kMaxLineWidth) << message;
    cTextElement text(3, 4004);
    text.SetFont(regular14_);
    ASSERT_TRUE(text.ReplaceText(canvas_.renderer, message));
    EXPECT_EQ(text.Kind(), TextKind::Static) << message;
    EXPECT_EQ(text.GetWidth(kPartTextBlock), width) << message;
  }
}

TEST_F(TextElementTest, LongLocalizedMessagesWrapOnWholeLetters) {
  const char* texts[] = {
      "Не удалось загрузить модуль защиты от читов: сервер недоступен. Проверьте подключение к "
      "интернету, настройки брандмауэра и прокси-сервера, затем перезапустите игру.",
      "Das Anti-Cheat-Modul konnte nicht heruntergeladen werden: Der Server ist nicht erreichbar. "
      "Überprüfen Sie Ihre Internetverbindung, die Firewall- und Proxy-Einstellungen und starten Sie "
      "das Spiel erneut.",
  };
  for (const char* message : texts) {
    cTextElement text(3, 4004);
    text.SetFont(regular14_);
    ASSERT_TRUE(text.ReplaceText(canvas_.renderer, message));
    EXPECT_EQ(text.Kind(), TextKind::MultiLine) << message;
    const std::vector<std::string> lines = WrapText(message, MeasureTextWidth(regular14_->font, message));
    ASSERT_EQ(text.CopyLines().size(), lines.size());
    std::string joined;
    for (const std::string& line : lines) {
      // Each line stands alone as text: it measures as what it shows.
      EXPECT_GT(MeasureTextWidth(regular14_->font, line), 0) << line;
      EXPECT_NE(static_cast<unsigned char>(line.front()) & 0xC0, 0x80) << line;
      joined += line;
    }
    EXPECT_EQ(joined, message);
    // Stacked: all heights and half a line between them.
    const TextureList shown = text.CopyLines();
    const int lineHeight = shown.front()->height;
    const int count = static_cast<int>(shown.size());
    EXPECT_EQ(text.GetBlockHeight(), count * lineHeight + (count - 1) * (lineHeight / 2));
    EXPECT_EQ(text.GetHeight(kPartTextTexture), text.GetBlockHeight());
  }
}

TEST_F(TextElementTest, NewTextCrossFades) {
  cTextElement status(1, 4001);
  status.SetFont(light20_);
  ASSERT_TRUE(status.SetText(canvas_.renderer, "INITIALIZING"));
  const int firstWidth = status.GetLayoutWidth();
  for (int i = 0; i < 51; ++i) status.Update(kFrameNs);
  EXPECT_EQ(status.GetAlpha(kPartNone), 255);
  status.SetPosition(10, 20);

  // Set while the first text is still shown: it fades out, then the new one
  // takes its place and fades in.
  ASSERT_TRUE(status.SetText(canvas_.renderer, "WAITING FOR GAME"));
  EXPECT_TRUE(status.HasPendingText());
  EXPECT_GT(status.GetLayoutWidth(), firstWidth);
  status.SetPosition(30, 40);  // goes to the pending text
  EXPECT_EQ(status.GetX(kPartNone), 10);
  for (int i = 0; i < 50; ++i) status.Update(kFrameNs);
  EXPECT_EQ(status.GetAlpha(kPartNone), 5);
  EXPECT_EQ(status.GetWidth(kPartTextBlock), firstWidth);
  status.Update(kFrameNs);
  EXPECT_EQ(status.GetAlpha(kPartNone), 0);
  EXPECT_FALSE(status.HasPendingText());
  EXPECT_GT(status.GetWidth(kPartTextBlock), firstWidth);
  EXPECT_EQ(status.GetX(kPartNone), 30);
  EXPECT_EQ(status.GetY(kPartNone), 40);
  for (int i = 0; i < 51; ++i) status.Update(kFrameNs);
  EXPECT_EQ(status.GetAlpha(kPartNone), 255);
}

TEST_F(TextElementTest, TextChangedWhileFadingInFadesOutFromWhereItIs) {
  cTextElement title(3, 4003);
  title.SetFont(light20_);
  ASSERT_TRUE(title.SetText(canvas_.renderer, "Launch Error"));
  for (int i = 0; i < 10; ++i) title.Update(kFrameNs);
  EXPECT_EQ(title.GetAlpha(kPartNone), 50);
  ASSERT_TRUE(title.SetText(canvas_.renderer, "Network error"));
  title.Update(kFrameNs);
  EXPECT_EQ(title.GetAlpha(kPartNone), 45);
}

TEST_F(TextElementTest, SizeIsTheFontsToDecide) {
  cTextElement text(1, 4002);
  text.SetFont(light20_);
  ASSERT_TRUE(text.ReplaceText(canvas_.renderer, "0%"));
  const int width = text.GetWidth(kPartTextTexture);
  text.SetSize(500, 500);
  EXPECT_EQ(text.GetWidth(kPartTextTexture), width);
  EXPECT_TRUE(log_.Logged("[Warn] Called for a text element, the size is dictated by the shared font!"));
}

TEST_F(TextElementTest, NoFontBuildsNothing) {
  cTextElement text(1, 4002);
  TextureList lines;
  TextKind kind = TextKind::Static;
  EXPECT_FALSE(text.BuildTextures(canvas_.renderer, "0%", lines, kind));
  EXPECT_EQ(kind, TextKind::None);
  EXPECT_TRUE(log_.Logged("Called with invalid parameters or missing font"));
}

}  // namespace
}  // namespace quarvel::ui
