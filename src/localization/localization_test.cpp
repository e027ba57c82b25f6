#include "localization/localization.h"

#include <gtest/gtest.h>

#include "common/platform.h"
#include "localization/directory_listing.h"
#include "localization/test_files.h"

namespace quarvel {
namespace {

using test_support::ScratchDirectory;

constexpr char kEnglish[] =
    "launcher:\n{\n  btn_exit = \"Exit now\";\n}\n"
    "launcher_error:\n{\n  error_http_response = \"Code {0} and {1}\";\n}\n";

// Sets the process-wide switch for one test and clears it again.
class FallbackToDefaults {
 public:
  FallbackToDefaults() { fallbackToDefaults = true; }
  ~FallbackToDefaults() { fallbackToDefaults = false; }
};

TEST(Localization, LookupReportsWhatIsMissing) {
  ScratchDirectory scratch;
  cLocalization catalogue;
  std::string error;
  ASSERT_TRUE(catalogue.LoadFile(scratch.WriteFile("en_us.cfg", kEnglish), error)) << error;

  struct Case {
    const char* identifier;
    bool found;
    std::string valueOrError;
  };
  const Case cases[] = {
      {"launcher.btn_exit", true, "Exit now"},
      {"launcher..btn_exit", true, "Exit now"},
      {"launcher", false, "Identifier syntax error: expected \"<section>.<key>\""},
      {"launcher.btn_exit.x", false, "Identifier syntax error: expected \"<section>.<key>\""},
      {"", false, "Identifier syntax error: expected \"<section>.<key>\""},
      {"missing.btn_exit", false, "Section not found 'missing.btn_exit'"},
      {"launcher.missing", false, "Key not found 'launcher.missing'"},
  };
  for (const Case& c : cases) {
    std::string value;
    std::string lookupError;
    EXPECT_EQ(catalogue.Lookup(c.identifier, value, lookupError), c.found) << c.identifier;
    EXPECT_EQ(c.found ? value : lookupError, c.valueOrError) << c.identifier;
  }
}

TEST(Localization, LoadFileReportsUnreadableAndEmptyFiles) {
  ScratchDirectory scratch;
  cLocalization catalogue;
  std::string error;
  const std::string missing = scratch.Path() + "missing.cfg";
  EXPECT_FALSE(catalogue.LoadFile(missing, error));
  EXPECT_EQ(error, "File not found '" + missing + "'");

  scratch.MakeDirectory("folder.cfg");
  EXPECT_FALSE(catalogue.LoadFile(scratch.Path() + "folder.cfg", error));
  EXPECT_EQ(error, "File not found '" + scratch.Path() + "folder.cfg'");

  EXPECT_FALSE(catalogue.LoadFile(scratch.WriteFile("empty.cfg", ""), error));
  EXPECT_EQ(error, "Config file data empty");
}

TEST(Localization, LaterFilesAddToTheTableAndBrokenFilesKeepTheirGoodStart) {
  ScratchDirectory scratch;
  cLocalization catalogue;
  std::string error;
  ASSERT_TRUE(catalogue.LoadFile(scratch.WriteFile("a.cfg", "s:\n{\na = \"1\";\nb = \"1\";\n}\n"), error));
  const std::string broken = "s:\n{\nb = \"2\";\nbroken\nc = \"2\";\n}\n";
  EXPECT_FALSE(catalogue.LoadFile(scratch.WriteFile("b.cfg", broken), error));
  EXPECT_EQ(error, "Config parsing error");

  EXPECT_EQ(catalogue.GetString("s.a", "-"), "1");
  EXPECT_EQ(catalogue.GetString("s.b", "-"), "2");
  EXPECT_EQ(catalogue.GetString("s.c", "-"), "-");
}

TEST(Localization, GetStringFillsPlaceholdersOfTextOrDefault) {
  const std::string httpDefault = "HTTP Response Code: {0} Curl Code: {1}";
  cLocalization empty;
  EXPECT_EQ(empty.GetString("launcher_error.error_http_response", httpDefault, {"404", "22"}),
            "HTTP Response Code: 404 Curl Code: 22");

  ScratchDirectory scratch;
  cLocalization catalogue;
  std::string error;
  ASSERT_TRUE(catalogue.LoadFile(scratch.WriteFile("en_us.cfg", kEnglish), error)) << error;
  EXPECT_EQ(catalogue.GetString("launcher_error.error_http_response", httpDefault, {"404", "22"}),
            "Code 404 and 22");
  EXPECT_EQ(catalogue.GetString("launcher.btn_exit", "Exit"), "Exit now");
  EXPECT_EQ(catalogue.GetString("launcher.loading", "LOADING"), "LOADING");
  EXPECT_EQ(catalogue.GetString("not an identifier", "{0} not found", {"Settings.json"}),
            "Settings.json not found");
}

TEST(Localization, FallbackToDefaultsHidesEveryCatalogueText) {
  ScratchDirectory scratch;
  cLocalization catalogue;
  std::string error;
  ASSERT_TRUE(catalogue.LoadFile(scratch.WriteFile("en_us.cfg", kEnglish), error)) << error;

  FallbackToDefaults fallback;
  EXPECT_EQ(catalogue.GetString("launcher.btn_exit", "Exit"), "Exit");
  EXPECT_EQ(catalogue.GetString("launcher_error.error_http_response", "{1}/{0}", {"404", "22"}), "22/404");
  // Lookup itself still sees the table.
  std::string value;
  EXPECT_TRUE(catalogue.Lookup("launcher.btn_exit", value, error));
}

TEST(Localization, KeysShownInTheirDefaultsSkipEveryCatalogue) {
  ScratchDirectory scratch;
  cLocalization first;
  cLocalization second;
  std::string error;
  ASSERT_TRUE(first.LoadFile(scratch.WriteFile("en_us.cfg", kEnglish), error)) << error;
  ASSERT_TRUE(second.LoadFile(scratch.Path() + "en_us.cfg", error)) << error;

  ShowDefaultsFor({"launcher.btn_exit", "launcher_error.error_http_response"});
  for (const cLocalization* catalogue : {&first, &second}) {
    EXPECT_EQ(catalogue->GetString("launcher.btn_exit", "Exit"), "Exit");
    EXPECT_EQ(catalogue->GetString("launcher_error.error_http_response", "{1}/{0}", {"404", "22"}), "22/404");
  }
  ShowDefaultsFor({});
  EXPECT_EQ(first.GetString("launcher.btn_exit", "Exit"), "Exit now");
}

TEST(Localization, GetSystemFontsNeedsAllThreeFaces) {
  struct Case {
    const char* name;
    std::string fontSection;
    bool ok;
  };
  const Case cases[] = {
      {"all three", "regular = \"r.ttf\";\nbold = \"b.ttf\";\nlight = \"l.ttf\";\n", true},
      {"light missing", "regular = \"r.ttf\";\nbold = \"b.ttf\";\n", false},
      {"regular missing", "bold = \"b.ttf\";\nlight = \"l.ttf\";\n", false},
  };
  for (const Case& c : cases) {
    ScratchDirectory scratch;
    cLocalization catalogue;
    std::string error;
    const std::string text = "windows_fonts:\n{\n" + c.fontSection + "}\n";
    ASSERT_TRUE(catalogue.LoadFile(scratch.WriteFile("x.cfg", text), error)) << c.name;
    std::map<int, std::string> fonts = {{7, "stale"}};
    EXPECT_EQ(catalogue.GetSystemFonts(fonts), c.ok) << c.name;
    const std::map<int, std::string> expected =
        c.ok ? std::map<int, std::string>{{kSystemFontRegular, "r.ttf"}, {kSystemFontBold, "b.ttf"},
                                          {kSystemFontLight, "l.ttf"}}
             : std::map<int, std::string>{};
    EXPECT_EQ(fonts, expected) << c.name;

    if (!c.ok) continue;
    FallbackToDefaults fallback;
    EXPECT_FALSE(catalogue.GetSystemFonts(fonts)) << c.name;
    EXPECT_TRUE(fonts.empty()) << c.name;
  }
}

TEST(Localization, LoadPicksTheFileForTheLocale) {
  ScratchDirectory scratch;
  const auto write = [&](const std::string& name) {
    scratch.WriteFile(name, "launcher:\n{\n  btn_exit = \"" + name + "\";\n}\n");
  };
  write("de.cfg");
  write("en_us.cfg");
  write("fr.cfg");
  write("pt_br.cfg");
  write(".hidden.cfg");
  write("notes.txt");
  scratch.MakeDirectory("aa.cfg");

  // The directory, the dot file and the text file are not listed.
  ASSERT_EQ(ListFilesWithExtension(scratch.Path(), ".cfg").size(), 4u);

  struct Case {
    std::string language;
    std::string country;
    std::string chosenName;
  };
  const Case cases[] = {
      {"en", "US", "en_us"},
      {"fr", "CA", "fr"},
      {"pt", "BR", "pt_br"},
      {"PT", "br", "pt_br"},
      {"", "US", "en_us"},  // an empty language is English
      {"de", "", "de"},
      {"ja", "JP", "en_us"},  // neither file for the locale: English
  };
  for (const Case& c : cases) {
    cLocalization catalogue;
    std::string chosenName = "stale";
    std::string error = "stale";
    std::string reason;
    EXPECT_TRUE(catalogue.Load(scratch.Path(), c.language, c.country, chosenName, error, &reason)) << error;
    EXPECT_EQ(chosenName, c.chosenName) << c.language << "_" << c.country;
    EXPECT_EQ(error, "");
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(catalogue.GetString("launcher.btn_exit", "Exit"), c.chosenName + ".cfg");
  }
}

TEST(Localization, LoadWithoutEnglishTakesTheFirstFileListed) {
  ScratchDirectory scratch;
  for (const std::string name : {"de.cfg", "fr.cfg"}) {
    scratch.WriteFile(name, "launcher:\n{\n  btn_exit = \"" + name + "\";\n}\n");
  }
  // Byte order on Linux, the directory's own order on Windows.
  const std::vector<std::string> listed = ListFilesWithExtension(scratch.Path(), ".cfg");
  ASSERT_EQ(listed.size(), 2u);
  cLocalization catalogue;
  std::string chosenName;
  std::string error;
  std::string reason;
  EXPECT_TRUE(catalogue.Load(scratch.Path(), "ja", "JP", chosenName, error, &reason)) << error;
  EXPECT_EQ(chosenName + ".cfg", listed.front());
  EXPECT_EQ(reason, "no file for 'ja_JP' or 'ja' and no English file, the first file listed");
}

TEST(Localization, LoadWithoutFilesLeavesEveryTextItsDefault) {
  ScratchDirectory scratch;
  scratch.WriteFile("readme.txt", "not a catalogue");
  for (const std::string& directory : {scratch.Path(), scratch.Path() + "missing"}) {
    cLocalization catalogue;
    std::string chosenName;
    std::string error;
    EXPECT_FALSE(catalogue.Load(directory, "en", "US", chosenName, error));
    EXPECT_EQ(chosenName, "en_us");
    std::string folder = directory;
    if (folder.back() != '/' && folder.back() != '\\') folder += kPathSeparator;
    EXPECT_EQ(error, "File not found '" + folder + "en_us.cfg'");
    EXPECT_EQ(catalogue.GetString("launcher.btn_exit", "Exit"), "Exit");
  }

  cLocalization catalogue;
  std::string chosenName = "stale";
  std::string error;
  EXPECT_FALSE(catalogue.Load("", "en", "US", chosenName, error));
  EXPECT_EQ(chosenName, "");
  EXPECT_EQ(error, "No localization directory specified");
}

TEST(Localization, UpperCaseFileNameIsOnlyTakenAsFirstOfTheList) {
  ScratchDirectory scratch;
  scratch.WriteFile("EN_US.CFG", "launcher:\n{\n  btn_exit = \"upper\";\n}\n");
  scratch.WriteFile("fr.cfg", "launcher:\n{\n  btn_exit = \"fr\";\n}\n");
  const std::vector<std::string> listed = ListFilesWithExtension(scratch.Path(), ".cfg");
  ASSERT_EQ(listed.size(), 2u);

  cLocalization catalogue;
  std::string chosenName;
  std::string error;
  ASSERT_TRUE(catalogue.Load(scratch.Path(), "en", "US", chosenName, error)) << error;
  // The name holds no lower-case ".cfg", so it is kept whole.
  const bool upperFirst = listed.front() == "EN_US.CFG";
  EXPECT_EQ(chosenName, upperFirst ? "EN_US.CFG" : "fr");
  EXPECT_EQ(catalogue.GetString("launcher.btn_exit", "Exit"), upperFirst ? "upper" : "fr");
}

}  // namespace
}  // namespace quarvel
