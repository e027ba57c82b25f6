#include "localization/file_choice.h"

#include <gtest/gtest.h>

namespace quarvel {
namespace {

TEST(LocalizationFileChoice, PrefersLanguageAndCountryThenLanguageThenEnglishThenTheFirstName) {
  struct Case {
    std::vector<std::string> names;
    std::string language;
    std::string country;
    std::string fileName;
    std::string chosenName;
    LocalizationChoiceReason reason;
  };
  using enum LocalizationChoiceReason;
  const Case cases[] = {
      {{"de.cfg", "en_us.cfg"}, "en", "US", "en_us.cfg", "en_us", LanguageAndCountry},
      {{"en_us.cfg", "fr.cfg"}, "fr", "CA", "fr.cfg", "fr", Language},
      // A British player gets the generic English file, a Portuguese one the
      // generic Portuguese file, not Brazilian Portuguese.
      {{"de.cfg", "en.cfg", "en_us.cfg"}, "en", "GB", "en.cfg", "en", Language},
      {{"de.cfg", "pt.cfg", "pt_br.cfg"}, "pt", "PT", "pt.cfg", "pt", Language},
      // A language we lack reads English, wherever English stands in the listing.
      {{"de.cfg", "en_us.cfg"}, "ja", "JP", "en_us.cfg", "en_us", English},
      {{"de.cfg", "en.cfg", "en_us.cfg"}, "xx", "YY", "en_us.cfg", "en_us", English},
      {{"de.cfg", "en.cfg", "fr.cfg"}, "xx", "YY", "en.cfg", "en", English},
      {{"en_us.cfg", "de.cfg"}, "ja", "JP", "en_us.cfg", "en_us", English},
      // Without English the first name listed serves (a studio's single file).
      {{"de.cfg", "fr.cfg"}, "ja", "JP", "de.cfg", "de", FirstListed},
      {{"de.cfg", "pt_br.cfg"}, "PT", "BR", "pt_br.cfg", "pt_br", LanguageAndCountry},
      // The first candidate is lowered, the language-only one is not.
      {{"de.cfg", "pt.cfg"}, "PT", "", "pt.cfg", "pt", LanguageAndCountry},
      {{"de.cfg", "pt.cfg"}, "PT", "XX", "de.cfg", "de", FirstListed},
      {{"de.cfg", "pt.cfg"}, "pt", "XX", "pt.cfg", "pt", Language},
      // Names compare case-sensitively.
      {{"EN_US.CFG", "de.cfg"}, "ja", "JP", "EN_US.CFG", "EN_US.CFG", FirstListed},
      {{"de.cfg", "EN_US.CFG"}, "en", "US", "de.cfg", "de", FirstListed},
      {{"x.cfg.cfg"}, "en", "US", "x.cfg.cfg", "x", FirstListed},
      {{}, "de", "DE", "en_us.cfg", "en_us", NothingListed},
  };
  for (const Case& c : cases) {
    const LocalizationFileChoice choice = ChooseLocalizationFile(c.names, c.language, c.country);
    EXPECT_EQ(choice.fileName, c.fileName) << c.language << "_" << c.country;
    EXPECT_EQ(choice.chosenName, c.chosenName) << c.language << "_" << c.country;
    EXPECT_EQ(choice.reason, c.reason) << c.language << "_" << c.country;
  }
}

TEST(LocalizationFileChoice, SaysWhyForTheLog) {
  const std::vector<std::string> names{"de.cfg", "en_us.cfg", "ja.cfg"};
  EXPECT_EQ(DescribeChoice(ChooseLocalizationFile(names, "xx", "YY"), "xx", "YY"),
            "no file for 'xx_YY' or 'xx', English instead");
  EXPECT_EQ(DescribeChoice(ChooseLocalizationFile(names, "ja", "JP"), "ja", "JP"), "the file of the language 'ja'");
  EXPECT_EQ(DescribeChoice(ChooseLocalizationFile(names, "en", "US"), "en", "US"), "the file of 'en_US'");
}

}  // namespace
}  // namespace quarvel
