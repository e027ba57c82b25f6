#include "localization/user_locale.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace quarvel {
namespace {

TEST(UserLocale, ParsesPosixLocaleNames) {
  struct Case {
    const char* name;
    bool ok;
    const char* language;
    const char* country;
  };
  const Case cases[] = {
      {"de_DE.UTF-8", true, "de", "DE"},
      {"pt_BR", true, "pt", "BR"},
      {"sr_RS@latin", true, "sr", "RS"},
      {"fr", true, "fr", ""},
      {"C", false, "", ""},
      {"C.UTF-8", false, "", ""},
      {"POSIX", false, "", ""},
      {"", false, "", ""},
      {"en_US:de", false, "", ""},
      {"/usr/share/locale", false, "", ""},
  };
  for (const Case& c : cases) {
    std::string language = "unset";
    std::string country = "unset";
    EXPECT_EQ(ParseLocaleName(c.name, language, country), c.ok) << c.name;
    if (!c.ok) continue;
    EXPECT_EQ(language, c.language) << c.name;
    EXPECT_EQ(country, c.country) << c.name;
  }
}

#ifndef _WIN32

// Sets or clears the locale variables for one test and restores them after.
class LocaleEnvironment {
 public:
  LocaleEnvironment(const char* lcAll, const char* lcMessages, const char* lang) {
    Set("LC_ALL", lcAll);
    Set("LC_MESSAGES", lcMessages);
    Set("LANG", lang);
  }
  ~LocaleEnvironment() {
    for (const Saved& saved : saved_) {
      if (saved.value) {
        setenv(saved.name, saved.value->c_str(), 1);
      } else {
        unsetenv(saved.name);
      }
    }
  }

 private:
  struct Saved {
    const char* name;
    std::optional<std::string> value;
  };
  void Set(const char* name, const char* value) {
    const char* old = std::getenv(name);
    saved_.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
    if (value) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  std::vector<Saved> saved_;
};

TEST(UserLocale, PosixTakesLcAllThenLcMessagesThenLang) {
  struct Case {
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    bool detected;
    const char* language;
    const char* country;
  };
  const Case cases[] = {
      {"de_DE.UTF-8", "fr_FR.UTF-8", "it_IT.UTF-8", true, "de", "DE"},
      {nullptr, "fr_CA.UTF-8", "it_IT.UTF-8", true, "fr", "CA"},
      {"", "", "pt_BR.UTF-8", true, "pt", "BR"},
      {nullptr, nullptr, "C", false, "en", "us"},
      {"POSIX", nullptr, "de_DE.UTF-8", false, "en", "us"},
      {nullptr, nullptr, nullptr, false, "en", "us"},
      {"", "", "", false, "en", "us"},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    const Case& c = cases[i];
    LocaleEnvironment environment(c.lcAll, c.lcMessages, c.lang);
    std::string language;
    std::string country;
    EXPECT_EQ(DetectUserLocaleOrDefault(language, country), c.detected);
    EXPECT_EQ(language, c.language);
    EXPECT_EQ(country, c.country);
  }
}

#endif

}  // namespace
}  // namespace quarvel
