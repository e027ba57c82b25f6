#include "localization/file_choice.h"

#include <gtest/gtest.h>

namespace quarvel {
namespace {

TEST(LocalizationFileChoice, PrefersLanguageAndCountryThenLanguageThenTheFirstName) {
  struct Case {
    std::vector<std::string> names;
    std::string language;
    std::string country;
    std::string fileName;
    std::string chosenName;
  };
  const Case cases[] = {
      {{"de.cfg", "en_us.cfg"}, "en", "US", "en_us.cfg", "en_us"},
      {{"en_us.cfg", "fr.cfg"}, "fr", "CA", "fr.cfg", "fr"},
      {{"de.cfg", "en_us.cfg"}, "ja", "JP", "de.cfg", "de"},
      {{"en_us.cfg", "de.cfg"}, "ja", "JP", "en_us.cfg", "en_us"},
      {{"de.cfg", "pt_br.cfg"}, "PT", "BR", "pt_br.cfg", "pt_br"},
      // The first candidate is lowered, the language-only one is not.
      {{"de.cfg", "pt.cfg"}, "PT", "", "pt.cfg", "pt"},
      {{"de.cfg", "pt.cfg"}, "PT", "XX", "de.cfg", "de"},
      {{"de.cfg", "pt.cfg"}, "pt", "XX", "pt.cfg", "pt"},
      // Names compare case-sensitively.
      {{"EN_US.CFG", "de.cfg"}, "ja", "JP", "EN_US.CFG", "EN_US.CFG"},
      {{"de.cfg", "EN_US.CFG"}, "en", "US", "de.cfg", "de"},
      {{"x.cfg.cfg"}, "en", "US", "x.cfg.cfg", "x"},
      {{}, "de", "DE", "en_us.cfg", "en_us"},
  };
  for (const Case& c : cases) {
    const LocalizationFileChoice choice = ChooseLocalizationFile(c.names, c.language, c.country);
    EXPECT_EQ(choice.fileName, c.fileName) << c.language << "_" << c.country;
    EXPECT_EQ(choice.chosenName, c.chosenName) << c.language << "_" << c.country;
  }
}

}  // namespace
}  // namespace quarvel
