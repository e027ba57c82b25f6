#include "qvl_cdn.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "common/testing/test_scratch_directory.h"
#include "launch/delivery/scramble.h"

namespace quarvel::cdn_tool {
namespace {

using launcher::test_support::ScratchDirectory;

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class QvlCdnTest : public ::testing::Test {
 protected:
  QvlCdnTest() {
    module_ = scratch_.Write("module.bin", std::string("\x4d\x5a\x90\x00\xff\x01odd-size", 15));
    root_ = (scratch_.path() / "root").string();
  }

  int Run(const std::vector<std::string>& arguments) {
    out_.str("");
    err_.str("");
    return RunQvlCdn(arguments, out_, err_);
  }

  ScratchDirectory scratch_;
  std::string module_;
  std::string root_;
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(QvlCdnTest, PublishPlacesTheScrambledModuleWhereTheBootstrapperLooks) {
  // Not a module: forced past the check, which module_check_test.cpp covers.
  ASSERT_EQ(Run({"publish", module_, "--system", "win64", "--root", root_, "--product", "prod-1", "--deployment",
                 "dep-2", "--force"}),
            kExitOk)
      << err_.str();
  const std::filesystem::path published = scratch_.path() / "root" / "modules" / "prod-1" / "dep-2" / "win64";
  std::string expected = ReadText(module_);
  launcher::ScrambleModule(std::span(reinterpret_cast<std::uint8_t*>(expected.data()), expected.size()));
  EXPECT_EQ(ReadText(published), expected);
  // Only the module is left in its directory: the temporary name is gone.
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(published.parent_path())) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"win64"});
}

TEST_F(QvlCdnTest, ARepublishedModuleGetsANewWriteSecond) {
  // Servers derive a file's ETag from its size and write time in seconds.
  const std::vector<std::string> publish = {"publish", module_, "--product", "prod-1", "--deployment", "dep-2",
                                            "--system", "win64", "--root",    root_,    "--force"};
  const std::filesystem::path published = scratch_.path() / "root" / "modules" / "prod-1" / "dep-2" / "win64";
  const auto seconds = [&] {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::filesystem::last_write_time(published).time_since_epoch())
        .count();
  };
  ASSERT_EQ(Run(publish), kExitOk) << err_.str();
  const auto first = seconds();
  scratch_.Write("module.bin", std::string("\x4d\x5a\x90\x00\xff\x02odd-size", 15));
  ASSERT_EQ(Run(publish), kExitOk) << err_.str();
  EXPECT_GT(seconds(), first);
}

TEST_F(QvlCdnTest, ScrambleAndUnscrambleAreInverse) {
  const std::string scrambled = (scratch_.path() / "scrambled").string();
  const std::string plain = (scratch_.path() / "plain").string();
  ASSERT_EQ(Run({"scramble", module_, scrambled}), kExitOk) << err_.str();
  EXPECT_NE(ReadText(scrambled), ReadText(module_));
  ASSERT_EQ(Run({"unscramble", scrambled, plain}), kExitOk) << err_.str();
  EXPECT_EQ(ReadText(plain), ReadText(module_));
}

TEST_F(QvlCdnTest, WrongUsageIsRefusedWithTheUsageText) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"deploy"},
      {"scramble", module_},
      {"unscramble", module_, "a", "b"},
      {"publish", "--product", "p1", "--deployment", "d1", "--system", "win64", "--root", root_},
      {"publish", module_, "--product", "p1", "--deployment", "d1", "--system", "win64"},
      {"publish", module_, "--product", "p1", "--deployment", "d1", "--system", "win64", "--root"},
      {"publish", module_, "--product", "p1", "--product", "p2", "--deployment", "d1", "--system", "win64",
       "--root", root_},
      {"publish", module_, "--product", "p1", "--deployment", "d1", "--system", "win64", "--root", root_, "--x"},
      {"publish", module_, module_, "--product", "p1", "--deployment", "d1", "--system", "win64", "--root", root_},
  };
  for (const auto& arguments : cases) {
    EXPECT_EQ(Run(arguments), kExitUsage) << testing::PrintToString(arguments);
    EXPECT_NE(err_.str().find("Usage:"), std::string::npos);
  }
  EXPECT_FALSE(std::filesystem::exists(root_));
}

TEST_F(QvlCdnTest, NamesThatWouldLeaveTheTreeAreRefused) {
  struct Case {
    std::string product;
    std::string deployment;
    std::string system;
  };
  const Case cases[] = {
      {"..", "dep-2", "win64"},       {"prod/x", "dep-2", "win64"}, {"prod-1", "..\\..", "win64"},
      {"prod-1", "dep-2", ".."},      {"prod-1", "dep-2", "a/b"},   {"p", "dep-2", "win64"},
      {"prod-1", "dep-2", "Win64"},   {std::string(65, 'p'), "dep-2", "win64"},
  };
  for (const Case& test : cases) {
    EXPECT_EQ(Run({"publish", module_, "--product", test.product, "--deployment", test.deployment, "--system",
                   test.system, "--root", root_, "--force"}),
              kExitFailed)
        << test.product << " " << test.deployment << " " << test.system;
  }
  EXPECT_FALSE(std::filesystem::exists(root_));
}

TEST_F(QvlCdnTest, MissingInputFailsWithoutTouchingTheTree) {
  EXPECT_EQ(Run({"publish", (scratch_.path() / "missing").string(), "--product", "prod-1", "--deployment", "dep-2",
                 "--system", "win64", "--root", root_}),
            kExitFailed);
  EXPECT_NE(err_.str().find("cannot open"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(root_));
}

TEST_F(QvlCdnTest, HelpDescribesEveryCommand) {
  ASSERT_EQ(Run({"--help"}), kExitOk);
  for (const char* command : {"qvl-cdn publish FILE --product P --deployment D --system S --root DIR",
                              "qvl-cdn scramble IN OUT", "qvl-cdn unscramble IN OUT"}) {
    EXPECT_NE(out_.str().find(command), std::string::npos) << command;
  }
}

}  // namespace
}  // namespace quarvel::cdn_tool
