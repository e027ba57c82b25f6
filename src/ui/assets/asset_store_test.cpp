#include "ui/assets/asset_store.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "common/platform.h"
#include "common/testing/test_scratch_directory.h"
#include "localization/localization.h"
#include "ui/assets/embedded_assets.h"
#include "ui/assets/picture_decode.h"
#include "ui/assets/testing/test_pictures.h"
#include "ui/assets/testing/test_renderer.h"

namespace quarvel::ui {
namespace {

using launcher::test_support::ScratchDirectory;

constexpr SDL_Color kMagenta{255, 0, 255, 255};

bool IsMagenta(SDL_Color colour) { return colour.r == 255 && colour.g == 0 && colour.b == 255; }

class AssetStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(canvas_.Ready());
    base_ = scratch_.path().string() + kPathSeparator;
    store_.baseDirectory = base_;
  }

  // A catalogue whose windows_fonts section names `files` (regular, bold,
  // light; an empty name leaves that key out).
  void NameSystemFonts(const std::vector<std::string>& files) {
    static const char* const kKeys[] = {"regular", "bold", "light"};
    std::string text = "windows_fonts:\n{\n";
    for (std::size_t i = 0; i < files.size(); ++i) {
      if (!files[i].empty()) text += std::string("  ") + kKeys[i] + " = \"" + files[i] + "\";\n";
    }
    text += "}\n";
    std::string error;
    ASSERT_TRUE(catalogue_.LoadFile(scratch_.Write("fonts.cfg", text), error)) << error;
  }

  std::string FontStyle(std::int32_t id) {
    cFontSlot* slot = store_.GetFont(id);
    if (slot == nullptr || slot->font == nullptr) return "<none>";
    const char* style = TTF_FontFaceStyleName(slot->font);
    return style == nullptr ? "<unnamed>" : style;
  }

  ScratchDirectory scratch_;
  testing::cTestCanvas canvas_;  // before the store: textures die before their renderer
  cAssetStore store_;
  cLocalization catalogue_;
  testing::cLogCapture log_;
  std::string base_;
};

TEST_F(AssetStoreTest, EmbeddedFontsFillAllSixSlotsAtTheirSizes) {
  bool useFallback = true;
  ASSERT_TRUE(store_.LoadFontsFrom(catalogue_, std::nullopt, useFallback));
  EXPECT_FALSE(useFallback);
  const char* const styles[] = {"Regular", "Bold", "Light", "Light", "Regular", "Bold"};
  const std::int32_t points[] = {20, 20, 20, 30, 14, 12};
  for (std::int32_t id = 0; id < 6; ++id) {
    ASSERT_NE(store_.GetFont(id), nullptr) << id;
    EXPECT_EQ(store_.GetFont(id)->pointSize, points[id]) << id;
    EXPECT_EQ(FontStyle(id), styles[id]) << id;
  }
  EXPECT_EQ(store_.GetFont(6), nullptr);
  EXPECT_TRUE(log_.Logged("Successfully loaded the embedded: '3', size: 30."));
}

TEST_F(AssetStoreTest, ReloadingKeepsEverySlotsAddress) {
  bool useFallback = false;
  ASSERT_TRUE(store_.LoadFontsFrom(catalogue_, std::nullopt, useFallback));
  ASSERT_TRUE(store_.LoadTextures(canvas_.renderer, ""));
  cFontSlot* font = store_.GetFont(kFontLight30);
  cTexture* splash = store_.GetTexture(kTextureSplash);
  ASSERT_TRUE(store_.LoadFontsFrom(catalogue_, std::nullopt, useFallback));
  ASSERT_TRUE(store_.LoadTextures(canvas_.renderer, ""));
  EXPECT_EQ(store_.GetFont(kFontLight30), font);
  EXPECT_EQ(store_.GetTexture(kTextureSplash), splash);
  EXPECT_NE(font->font, nullptr);
  EXPECT_NE(splash->handle, nullptr);
}

// System fonts: a folder holding Open Sans italics under their own names,
// so a font that came from the folder is told apart by its style.
struct SystemFontsCase {
  const char* name;
  std::vector<std::string> named;  // regular, bold, light
  bool loads;
  bool useFallback;
  std::vector<std::string> styles;  // of ids 0 to 5 when loaded
  std::vector<std::string> logged;  // "{dir}" stands for the fonts folder
};

void PrintTo(const SystemFontsCase& c, std::ostream* out) { *out << c.name; }

class SystemFonts : public AssetStoreTest, public ::testing::WithParamInterface<SystemFontsCase> {};

TEST_P(SystemFonts, TakeThePlaceOfTheBuiltInOnesOnlyWhenAllThreeExist) {
  const SystemFontsCase& c = GetParam();
  const std::filesystem::path folder = scratch_.path() / "Fonts";
  std::filesystem::create_directories(folder);
  for (const char* face : {"Italic", "BoldItalic", "LightItalic"}) {
    const std::string file = std::string("OpenSans-") + face + ".ttf";
    std::filesystem::copy_file(std::string(QVL_TEST_FONT_DIR) + file, folder / file);
  }
  scratch_.Write("Fonts/broken.ttf", "not a font");
  const std::string directory = folder.string() + kPathSeparator;
  NameSystemFonts(c.named);

  bool useFallback = !c.useFallback;
  EXPECT_EQ(store_.LoadFontsFrom(catalogue_, directory, useFallback), c.loads);
  EXPECT_EQ(useFallback, c.useFallback);
  if (c.loads) {
    for (std::int32_t id = 0; id < 6; ++id) EXPECT_EQ(FontStyle(id), c.styles[id]) << id;
  }
  for (std::string line : c.logged) {
    if (const auto at = line.find("{dir}"); at != std::string::npos) line.replace(at, 5, directory);
    EXPECT_TRUE(log_.Logged(line)) << line;
  }
}

const std::vector<std::string> kBuiltInStyles = {"Regular", "Bold", "Light", "Light", "Regular", "Bold"};

INSTANTIATE_TEST_SUITE_P(
    Catalogue, SystemFonts,
    ::testing::Values(
        SystemFontsCase{"AllThreePresent",
                        {"OpenSans-Italic.ttf", "OpenSans-BoldItalic.ttf", "OpenSans-LightItalic.ttf"},
                        true,
                        false,
                        {"Italic", "Bold Italic", "Light Italic", "Light Italic", "Italic", "Bold Italic"},
                        {"Successfully loaded the system font: '{dir}OpenSans-LightItalic.ttf', size: 30.",
                         "Successfully loaded the system font: '{dir}OpenSans-BoldItalic.ttf', size: 12."}},
        SystemFontsCase{"OnlyTwoNamed",
                        {"OpenSans-Italic.ttf", "", "OpenSans-LightItalic.ttf"},
                        true,
                        false,
                        kBuiltInStyles,
                        {"Successfully loaded the embedded: '5', size: 12."}},
        SystemFontsCase{"BoldMissing",
                        {"OpenSans-Italic.ttf", "missing-bold.ttf", "OpenSans-LightItalic.ttf"},
                        true,
                        true,
                        kBuiltInStyles,
                        {"Could not locate font file: '{dir}missing-bold.ttf' on disk, falling back to en_us."}},
        SystemFontsCase{"PresentButNoFont",
                        {"broken.ttf", "OpenSans-BoldItalic.ttf", "OpenSans-LightItalic.ttf"},
                        false,
                        false,
                        {},
                        {"Failed in loading font from file: '{dir}broken.ttf'."}}),
    [](const auto& info) { return std::string(info.param.name); });

// Windows takes the catalogue's fonts from its fonts folder; elsewhere the
// catalogue's names are ignored and the built-in fonts serve.
TEST_F(AssetStoreTest, PlatformDecidesWhetherCatalogueFontsAreConsulted) {
  NameSystemFonts({"qvl-absent-regular.ttf", "qvl-absent-bold.ttf", "qvl-absent-light.ttf"});
  bool useFallback = false;
  ASSERT_TRUE(store_.LoadFonts(catalogue_, "en_us", useFallback));
  EXPECT_EQ(FontStyle(kFontBold12), "Bold");
  if (SystemFontsSupported()) {
    const std::string folder = GetFontsDirectory();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '\\');
    EXPECT_TRUE(useFallback);
    EXPECT_TRUE(log_.Logged("Could not locate font file: '" + folder + "qvl-absent-regular.ttf'"));
  } else {
    EXPECT_TRUE(GetFontsDirectory().empty());
    EXPECT_FALSE(useFallback);
    EXPECT_FALSE(log_.Logged("Could not locate font file"));
  }
}

// The built-in fonts draw Latin, Greek and Cyrillic; Japanese needs another.
TEST_F(AssetStoreTest, CanDrawTellsWhetherEveryLoadedFontHasEveryGlyph) {
  bool useFallback = false;
  ASSERT_TRUE(store_.LoadFontsFrom(catalogue_, std::nullopt, useFallback));
  EXPECT_TRUE(store_.CanDraw(""));
  EXPECT_TRUE(store_.CanDraw("Beenden"));
  EXPECT_TRUE(store_.CanDraw("ЗАГРУЗКА\nΈξοδος Ieșire Çıkış ĐANG TẢI"));
  EXPECT_FALSE(store_.CanDraw("読み込み中"));
  EXPECT_FALSE(store_.CanDraw("Exit 終了"));
  EXPECT_FALSE(store_.CanDraw("종료"));
}

TEST_F(AssetStoreTest, UndrawableTextsNameTheKeysTheFontsHaveNoGlyphsFor) {
  std::string error;
  ASSERT_TRUE(catalogue_.LoadFile(scratch_.Write("mixed.cfg",
                                                 "launcher:\n{\n  btn_exit = \"終了\";\n  loading = \"LADEN\";\n}\n"
                                                 "launcher_error:\n{\n  error_internal = \"内部エラー\";\n}\n"),
                                  error))
      << error;
  bool useFallback = false;
  ASSERT_TRUE(store_.LoadFontsFrom(catalogue_, std::nullopt, useFallback));
  EXPECT_EQ(store_.UndrawableTexts(catalogue_),
            (std::vector<std::string>{"launcher.btn_exit", "launcher_error.error_internal"}));
}

// Natively an installed font that covers the texts takes every id; the
// scripts install one covering Chinese, Japanese and Korean.
TEST_F(AssetStoreTest, InstalledFontsTakeOverWhereTheBuiltInOnesLackGlyphs) {
  bool useFallback = false;
  ASSERT_TRUE(store_.LoadFontsFrom(catalogue_, std::nullopt, useFallback));
  EXPECT_FALSE(store_.BindInstalledFonts("de", "Beenden"));  // nothing is missing: nothing asked
  EXPECT_EQ(FontStyle(kFontRegular14), "Regular");
  if (SystemFontsSupported()) {
    EXPECT_FALSE(store_.BindInstalledFonts("ja", "終了"));
    EXPECT_TRUE(log_.Logged("[Warn] No installed font draws the texts of 'ja'; the built-in fonts serve."));
    EXPECT_FALSE(store_.CanDraw("終了"));
    return;
  }
  for (const char* language : {"ja", "ko", "zh_cn", "zh_tw"}) {
    const std::string texts = std::string(language) == "ko" ? "종료\n불러오는 중" : "終了\n読み込み中\n正在載入";
    ASSERT_TRUE(store_.BindInstalledFonts(language, texts)) << language;
    EXPECT_TRUE(store_.CanDraw(texts)) << language;
    const std::int32_t points[] = {20, 20, 20, 30, 14, 12};
    for (std::int32_t id = 0; id < 6; ++id) {
      ASSERT_NE(store_.GetFont(id), nullptr);
      EXPECT_EQ(store_.GetFont(id)->pointSize, points[id]);
    }
    EXPECT_TRUE(log_.Logged("Using the installed fonts '")) << language;
    // Back to the built-in fonts for the next language.
    ASSERT_TRUE(store_.LoadFontsFrom(catalogue_, std::nullopt, useFallback));
  }
  // Characters no font has (private use): the built-in fonts stay.
  EXPECT_FALSE(store_.BindInstalledFonts("xx", "\xEF\x9C\x80"));
  EXPECT_TRUE(log_.Logged("[Warn] No installed font draws the texts of 'xx'; the built-in fonts serve."));
  EXPECT_EQ(FontStyle(kFontRegular14), "Regular");
}

TEST_F(AssetStoreTest, BuiltInPicturesBecomeTexturesOfTheirSizes) {
  ASSERT_TRUE(store_.LoadTextures(canvas_.renderer, ""));
  const int sizes[][2] = {{800, 450}, {38, 38}, {1000, 1968}, {250, 123}};
  for (std::int32_t id = 0; id < 4; ++id) {
    const cTexture* texture = store_.GetTexture(id);
    ASSERT_NE(texture, nullptr) << id;
    ASSERT_NE(texture->handle, nullptr) << id;
    EXPECT_EQ(texture->width, sizes[id][0]) << id;
    EXPECT_EQ(texture->height, sizes[id][1]) << id;
    SDL_BlendMode mode = SDL_BLENDMODE_NONE;
    SDL_GetTextureBlendMode(texture->handle, &mode);
    EXPECT_EQ(mode, SDL_BLENDMODE_BLEND) << id;
  }
  EXPECT_EQ(store_.GetTexture(4), nullptr);
  EXPECT_FALSE(IsMagenta(testing::DrawnPixel(canvas_.renderer, store_.GetTexture(0)->handle, 400, 225)));
  EXPECT_FALSE(log_.Logged("Requested splash"));
}

// The logo sheet decoded on a thread of its own: until it is adopted its slot
// has the sheet's size and no texture, then the same texture as in line.
TEST_F(AssetStoreTest, PictureDecodedAsideIsAdoptedIntoItsSlot) {
  cPictureDecode decode;
  for (const EmbeddedTexture& picture : GetEmbeddedTextures()) {
    if (picture.id == kTextureLogoSheet) ASSERT_TRUE(decode.Start(picture));
  }
  ASSERT_TRUE(decode.Pending());
  ASSERT_TRUE(store_.LoadTextures(canvas_.renderer, "", kTextureLogoSheet));
  cTexture* sheet = store_.GetTexture(kTextureLogoSheet);
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(sheet->handle, nullptr);
  EXPECT_EQ(sheet->width, 1000);
  EXPECT_EQ(sheet->height, 1968);
  EXPECT_NE(store_.GetTexture(kTextureSplash)->handle, nullptr);

  ASSERT_TRUE(store_.AdoptDecoded(canvas_.renderer, kTextureLogoSheet, decode.Take()));
  EXPECT_FALSE(decode.Pending());
  EXPECT_EQ(store_.GetTexture(kTextureLogoSheet), sheet);  // the same slot
  ASSERT_NE(sheet->handle, nullptr);
  EXPECT_EQ(sheet->width, 1000);
  EXPECT_EQ(sheet->height, 1968);
  SDL_BlendMode mode = SDL_BLENDMODE_NONE;
  SDL_GetTextureBlendMode(sheet->handle, &mode);
  EXPECT_EQ(mode, SDL_BLENDMODE_BLEND);

  // Nothing pending: nothing to take, and no surface adopts as an empty slot.
  EXPECT_EQ(decode.Take(), nullptr);
  EXPECT_FALSE(store_.AdoptDecoded(canvas_.renderer, kTextureLogoSheet, nullptr));
  EXPECT_EQ(sheet->handle, nullptr);
}

// The splash decoded before the window was made: taken instead of decoding
// it again, and the same picture; a decode that brought nothing is made up for
// in line.
TEST_F(AssetStoreTest, PictureDecodedBeforehandIsTakenInstead) {
  for (const bool decodes : {true, false}) {
    cPictureDecode decode;
    for (const EmbeddedTexture& picture : GetEmbeddedTextures()) {
      if (picture.id == kTextureSplash && decodes) ASSERT_TRUE(decode.Start(picture));
    }
    std::vector<std::int32_t> asked;
    const auto ready = [&](std::int32_t id) {
      asked.push_back(id);
      return id == kTextureSplash ? decode.Take() : nullptr;
    };
    cAssetStore store;
    ASSERT_TRUE(store.LoadTextures(canvas_.renderer, "", -1, ready)) << decodes;
    EXPECT_FALSE(decode.Pending());
    EXPECT_EQ(asked.size(), GetEmbeddedTextures().size()) << decodes;
    const cTexture* splash = store.GetTexture(kTextureSplash);
    ASSERT_NE(splash, nullptr);
    ASSERT_NE(splash->handle, nullptr) << decodes;
    EXPECT_EQ(splash->width, 800);
    EXPECT_EQ(splash->height, 450);
    ASSERT_TRUE(store_.LoadTextures(canvas_.renderer, ""));
    for (const auto& [x, y] : {std::pair{400, 225}, std::pair{10, 10}, std::pair{790, 440}}) {
      const SDL_Color ours = testing::DrawnPixel(canvas_.renderer, splash->handle, x, y);
      const SDL_Color inLine = testing::DrawnPixel(canvas_.renderer, store_.GetTexture(kTextureSplash)->handle, x, y);
      EXPECT_EQ(std::tie(ours.r, ours.g, ours.b), std::tie(inLine.r, inLine.g, inLine.b)) << x << "," << y;
    }
  }
}

TEST_F(AssetStoreTest, WithoutRendererNoTextureIsMade) {
  EXPECT_FALSE(store_.LoadTextures(nullptr, ""));
  EXPECT_TRUE(log_.Logged("Called with invalid parameters: "));
  EXPECT_TRUE(log_.Logged("Failed in loading the following texture: '0'."));
}

// Custom splash files; the custom ones are plain magenta, so the pixel in the
// middle tells whether the custom or the built-in splash ended up in slot 0.
enum class SplashFile {
  None,
  Plain800x450,
  Plain1920x1080,
  Exactly1MiB,
  OneByteOver1MiB,
  HugeHeader,
  HugeBmpHeader,
  NotAPicture
};

struct CustomSplashCase {
  const char* name;
  const char* requested;
  const char* file;  // relative to the executable folder
  SplashFile content;
  bool used;
  std::vector<std::string> logged;
  std::vector<std::string> notLogged;
};

void PrintTo(const CustomSplashCase& c, std::ostream* out) { *out << c.name; }

class CustomSplash : public AssetStoreTest, public ::testing::WithParamInterface<CustomSplashCase> {
 protected:
  // Writes `content` to `file`, relative to the executable folder.
  void Create(const std::string& file, SplashFile content) {
    const std::filesystem::path full = scratch_.path() / file;
    std::filesystem::create_directories(full.parent_path());
    const std::string path = full.string();
    switch (content) {
      case SplashFile::None:
        return;
      case SplashFile::Plain800x450:
        ASSERT_TRUE(testing::WritePlainPng(path, 800, 450, kMagenta));
        return;
      case SplashFile::Plain1920x1080:
        ASSERT_TRUE(testing::WritePlainPng(path, 1920, 1080, kMagenta));
        return;
      case SplashFile::Exactly1MiB:
      case SplashFile::OneByteOver1MiB: {
        const std::int64_t bytes = content == SplashFile::Exactly1MiB ? 1048576 : 1048577;
        ASSERT_TRUE(testing::WritePlainPng(path, 800, 450, kMagenta));
        ASSERT_TRUE(testing::PadPngTo(path, bytes));
        ASSERT_EQ(GetFileSizeUtf8(path.c_str()), bytes);
        return;
      }
      case SplashFile::HugeHeader: {
        // A valid start claiming 20000 x 20000 pixels; nothing after it decodes.
        const unsigned char header[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13,  'I', 'H', 'D', 'R',
                                        0,    0,   0x4E, 0x20, 0,  0,    0x4E, 0x20, 8, 6, 0, 0, 0, 0, 0, 0, 0};
        scratch_.Write(file, std::string(reinterpret_cast<const char*>(header), sizeof header));
        return;
      }
      case SplashFile::HugeBmpHeader: {
        // A BMP under a PNG's name (the decoder goes by content), claiming
        // 4097 x 1 pixels.
        std::string bmp(54, '\0');
        bmp[0] = 'B';
        bmp[1] = 'M';
        bmp[14] = 40;
        bmp[18] = 0x01;
        bmp[19] = 0x10;
        bmp[22] = 1;
        bmp[26] = 1;
        bmp[28] = 24;
        scratch_.Write(file, bmp);
        return;
      }
      case SplashFile::NotAPicture:
        scratch_.Write(file, "just text");
        return;
    }
  }
};

TEST_P(CustomSplash, ReplacesTheBuiltInSplashOnlyWhenItQualifies) {
  const CustomSplashCase& c = GetParam();
  if (c.file != nullptr) Create(c.file, c.content);
  const std::string fallback = std::string("Failed in loading requested splash from file: '") + c.requested +
                               "', will fall back to using the embedded one instead.";

  ASSERT_TRUE(store_.LoadTextures(canvas_.renderer, c.requested));
  const cTexture* splash = store_.GetTexture(kTextureSplash);
  ASSERT_NE(splash, nullptr);
  ASSERT_NE(splash->handle, nullptr);
  EXPECT_EQ(splash->width, 800);
  EXPECT_EQ(splash->height, 450);
  EXPECT_EQ(IsMagenta(testing::DrawnPixel(canvas_.renderer, splash->handle, 400, 225)), c.used);
  EXPECT_EQ(log_.Logged(fallback), !c.used);
  for (std::string line : c.logged) {
    if (const auto at = line.find("{base}"); at != std::string::npos) line.replace(at, 6, base_);
    EXPECT_TRUE(log_.Logged(line)) << line;
  }
  for (const std::string& line : c.notLogged) EXPECT_FALSE(log_.Logged(line)) << line;
}

const std::string kSeparator(1, kPathSeparator);

INSTANTIATE_TEST_SUITE_P(
    Rules, CustomSplash,
    ::testing::Values(
        CustomSplashCase{"InSubfolderWithForwardSlash", "art/splash.png", "art/splash.png", SplashFile::Plain800x450,
                         true,
                         {"Requested splash screen's file name '{base}art" + kSeparator +
                          "splash.png', extension: '.png'."},
                         {}},
        CustomSplashCase{"UpperCaseExtension", "Splash.PNG", "Splash.PNG", SplashFile::Plain800x450, false,
                         {"The provided splash screen was not of a supported format: '{base}Splash.PNG'."},
                         {}},
        CustomSplashCase{"Missing", "absent.png", nullptr, SplashFile::None, false,
                         {"Could not locate the provided custom splash screen image: '{base}absent.png'."},
                         {}},
        CustomSplashCase{"Exactly1MiB", "big.png", "big.png", SplashFile::Exactly1MiB, true, {}, {"exceeds"}},
        CustomSplashCase{"OneByteOver1MiB", "big.png", "big.png", SplashFile::OneByteOver1MiB, false,
                         {"The provided file: '{base}big.png' exceeds the maximum allowed file size of 1048576 bytes.",
                          "Could not create a texture from the provided custom splash screen: '{base}big.png'."},
                         {"Unable to load image"}},
        CustomSplashCase{"WrongSize", "wide.png", "wide.png", SplashFile::Plain1920x1080, false,
                         {"The provided splash screen did not meet the size requirements, the supported size is "
                          "800x450."},
                         {}},
        CustomSplashCase{"InflatesTooFar", "bomb.png", "bomb.png", SplashFile::HugeHeader, false,
                         {"The provided file: '{base}bomb.png' of 20000x20000 pixels exceeds the maximum allowed "
                          "picture size of 4096x4096."},
                         {"Unable to load image"}},
        CustomSplashCase{"OtherFormatInflatesTooFar", "bmp.png", "bmp.png", SplashFile::HugeBmpHeader, false,
                         {"The provided file: '{base}bmp.png' of 4097x1 pixels exceeds the maximum allowed "
                          "picture size of 4096x4096."},
                         {"Unable to load image"}},
        CustomSplashCase{"NotAPicture", "text.png", "text.png", SplashFile::NotAPicture, false,
                         {"The provided file: '{base}text.png' is no picture whose size can be read.",
                          "Could not create a texture from the provided custom splash screen: '{base}text.png'."},
                         {"Unable to load image"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AssetStoreTest, RefusedSplashIsReplacedInTheSameSlot) {
  ASSERT_TRUE(testing::WritePlainPng(base_ + "wide.png", 1920, 1080, kMagenta));
  ASSERT_TRUE(store_.LoadTextures(canvas_.renderer, ""));
  cTexture* slot = store_.GetTexture(kTextureSplash);
  // A refused picture stays decoded in the slot it was loaded into ...
  EXPECT_FALSE(store_.LoadCustomSplash(canvas_.renderer, base_ + "wide.png", *slot));
  EXPECT_EQ(slot->width, 1920);
  // ... until loading puts the built-in splash back into that same slot.
  ASSERT_TRUE(store_.LoadTextures(canvas_.renderer, "wide.png"));
  EXPECT_EQ(store_.GetTexture(kTextureSplash), slot);
  EXPECT_EQ(slot->width, 800);
  EXPECT_FALSE(IsMagenta(testing::DrawnPixel(canvas_.renderer, slot->handle, 400, 225)));
}

TEST_F(AssetStoreTest, EmptySplashPathIsRefusedSilently) {
  cTexture texture;
  EXPECT_FALSE(store_.LoadCustomSplash(canvas_.renderer, "", texture));
  EXPECT_FALSE(log_.Logged("splash"));
}

TEST_F(AssetStoreTest, PictureFileNeedsRendererAndPath) {
  cTexture texture;
  EXPECT_FALSE(texture.LoadFromFile(nullptr, base_ + "any.png"));
  EXPECT_FALSE(texture.LoadFromFile(canvas_.renderer, ""));
  EXPECT_TRUE(log_.Logged("Called with invalid parameters: "));
  EXPECT_EQ(texture.handle, nullptr);
}

}  // namespace
}  // namespace quarvel::ui
