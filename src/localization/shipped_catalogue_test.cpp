#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "localization/catalogue_keys.h"
#include "localization/directory_listing.h"
#include "localization/localization.h"
#include "localization/test_files.h"

// Every ".cfg" file the game ships must parse, define every key and keep the
// placeholders of the English default; a new language is checked as soon as
// its file is in the data folder.
namespace quarvel {
namespace {

std::vector<std::string> PlaceholdersOf(const std::string& text) {
  std::vector<std::string> placeholders;
  for (int index = 0; index < 10; ++index) {
    const std::string placeholder = "{" + std::to_string(index) + "}";
    if (text.find(placeholder) != std::string::npos) placeholders.push_back(placeholder);
  }
  return placeholders;
}

TEST(ShippedCatalogue, EveryFileParsesAndDefinesEveryTextWithItsPlaceholders) {
  const std::string directory = test_support::ShippedLocalizationDirectory();
  ASSERT_FALSE(directory.empty());
  const std::vector<std::string> files = ListFilesWithExtension(directory, ".cfg");
  ASSERT_NE(std::find(files.begin(), files.end(), "en_us.cfg"), files.end()) << directory;

  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    cLocalization catalogue;
    std::string error;
    ASSERT_TRUE(catalogue.LoadFile(directory + file, error)) << error;
    for (const CatalogueText& text : kCatalogueTexts) {
      std::string value;
      if (!catalogue.Lookup(text.key, value, error)) {
        ADD_FAILURE() << error;
        continue;
      }
      for (const std::string& placeholder : PlaceholdersOf(text.defaultText)) {
        EXPECT_NE(value.find(placeholder), std::string::npos) << text.key << " lacks " << placeholder;
      }
    }
    // System fonts are named all three or not at all.
    std::map<int, std::string> fonts;
    const bool namesAFont = catalogue.GetString(kSystemFontKeys[0], "") != "" ||
                            catalogue.GetString(kSystemFontKeys[1], "") != "" ||
                            catalogue.GetString(kSystemFontKeys[2], "") != "";
    EXPECT_EQ(catalogue.GetSystemFonts(fonts), namesAFont);
  }
}

TEST(ShippedCatalogue, EnglishFileMatchesTheBuiltInDefaults) {
  const std::string directory = test_support::ShippedLocalizationDirectory();
  cLocalization catalogue;
  std::string error;
  ASSERT_TRUE(catalogue.LoadFile(directory + "en_us.cfg", error)) << error;
  for (const CatalogueText& text : kCatalogueTexts) {
    // A file value cannot keep a trailing blank.
    std::string expected = text.defaultText;
    while (!expected.empty() && expected.back() == ' ') expected.pop_back();
    EXPECT_EQ(catalogue.GetString(text.key, ""), expected) << text.key;
  }
  std::map<int, std::string> fonts;
  EXPECT_FALSE(catalogue.GetSystemFonts(fonts));
}

}  // namespace
}  // namespace quarvel
