#include "module_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "launch/image/testing/pe_test_image.h"
#include "common/testing/test_scratch_directory.h"
#include "qvl_cdn.h"

// The files a studio might hand to qvl-cdn, through check and publish: the
// sample module's builds, and the mistakes a bootstrapper would refuse.
namespace quarvel::cdn_tool {
namespace {

using launcher::test_support::ScratchDirectory;
using launcher::test_support::TestDll;
using launcher::test_support::TestDllOptions;

// Paths from the build, as this process sees them.
std::string BuildPath(const std::string& path) {
#ifdef _WIN32
  return "Z:" + path;
#else
  return path;
#endif
}

std::string Fixture(const std::string& name) { return BuildPath(std::string(QVL_CHECK_FIXTURES) + "/" + name); }

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
  return text;
}

std::string AsText(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

struct Case {
  std::string name;
  std::string file;
  std::string system;
  std::size_t problems;                // 0: loadable
  std::vector<std::string> lines;      // lines the report must hold
};

class ModuleCheckTest : public ::testing::Test {
 protected:
  std::vector<Case> Cases() const {
    const std::string signedDll = Fixture("signed.dll");
    const std::string sharedObject = BuildPath(QVL_SAMPLE_SHARED_OBJECT);
    const std::string accepted = QVL_ACCEPTED_SIGNER;
    const std::vector<std::string> allEntriesFound = {
        "entry initialize (export position 0): found", "entry shutdown (export position 1): found",
        "entry reserved (export position 2): found", "entry set-language (export position 4): found"};
    std::vector<std::string> signedWin64 = allEntriesFound;
    signedWin64.push_back(signedDll + ": PE32+ DLL, machine x86-64 (0x8664)");
    signedWin64.push_back("system win64: a PE32+ x86-64 DLL: matches");
    signedWin64.push_back("imports from: KERNEL32.dll, msvcrt.dll");
    signedWin64.push_back("signature: Authenticode, signed by \"" + accepted + "\" (accepted by this build)");
    signedWin64.push_back("loadable for win64");
    return {
        {"the signed sample DLL for win64", signedDll, "win64", 0, signedWin64},
        {"the signed sample DLL for a 32-bit game on Windows", signedDll, "win64_wow64", 0,
         {"loadable for win64_wow64"}},
        {"the sample shared object for linux64", sharedObject, "linux64", 0,
         {sharedObject + ": ELF64 shared object, machine x86-64", "system linux64: an ELF64 x86-64 shared object: matches",
          "entry initialize (symbol a): found", "entry shutdown (symbol b): found", "entry reserved (symbol c): found",
          "entry set-language (symbol d): found", "loadable for linux64"}},
        {"the sample shared object for a 32-bit game under Wine", sharedObject, "linux64_32", 0,
         {"loadable for linux64_32"}},
        {"the sample shared object for a 32-bit Linux game", sharedObject, "linux32", 0, {"loadable for linux32"}},
        {"an unsigned DLL", Fixture("sample.dll"), "win64", 1,
         {"problem: no Authenticode signature: the bootstrapper refuses an unsigned module",
          "not loadable for win64: 1 problem(s)"}},
        {"a DLL signed by a name the build does not accept", Fixture("signed_rejected_name.dll"), "win64", 1,
         {"entry initialize (export position 0): found",
          "problem: signed by \"" + Lower(accepted) + "\", a name this build does not accept (it accepts \"" +
              accepted + "\""}},
        {"a DLL without its reserved entry", Fixture("missing_entry_signed.dll"), "win64", 1,
         {"entry initialize (export position 0): found", "problem: entry reserved (export position 2): missing",
          "entry set-language (export position 4): found",
          "signature: Authenticode, signed by \"" + accepted + "\" (accepted by this build)"}},
        {"a 32-bit DLL for win64", Write("x86.dll", AsText(TestDll(TestDllOptions{.is64 = false}).bytes())), "win64", 1,
         {"PE32 DLL, machine x86 (0x014C)",
          "problem: system win64 needs a PE32+ x86-64 DLL: the bootstrapper is a 64-bit process and maps the module "
          "into itself"}},
        {"a shared object for win64", sharedObject, "win64", 1,
         {"problem: system win64 needs a PE32+ x86-64 DLL, not an ELF image"}},
        {"a DLL for linux64", signedDll, "linux64", 1,
         {"problem: system linux64 needs an ELF64 x86-64 shared object, not a PE image"}},
        {"a text file", Write("readme.txt", "Not a module.\n"), "win64", 1,
         {"neither a PE nor an ELF image (14 bytes)", "problem: system win64 needs a PE32+ x86-64 DLL, this is not one"}},
        {"a DLL the mapper refuses (and unsigned)", Write("no-size.dll", AsText(ZeroImageSize())), "win64", 2,
         {"problem: the bootstrapper's image mapper refuses it: Module image refused: image size 0x0 or header size "
          "0x400 is out of range."}},
        {"a shared object cut short", Write("cut.so", ReadPrefix(sharedObject, 100)), "linux64", 1,
         {"problem: the shared object cannot be laid out: the program headers lie outside the file"}},
        {"a system name no bootstrapper asks for", sharedObject, "mac64", 1,
         {"problem: system name 'mac64' is not one a bootstrapper asks for (win64, linux64, win64_wow64, linux64_32, "
          "linux32)"}},
    };
  }

  int Run(const std::vector<std::string>& arguments) {
    out_.str("");
    err_.str("");
    return RunQvlCdn(arguments, out_, err_);
  }

  std::vector<std::string> OutLines() const {
    std::vector<std::string> lines;
    std::istringstream text(out_.str());
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
  }

  std::string Write(const std::string& name, const std::string& content) const { return scratch_.Write(name, content); }

  static std::vector<std::uint8_t> ZeroImageSize() {
    TestDll dll;
    dll.Put32At(dll.Optional() + 56, 0);  // SizeOfImage
    return dll.bytes();
  }

  static std::string ReadPrefix(const std::string& path, std::size_t length) {
    std::ifstream file(path, std::ios::binary);
    std::string bytes(length, '\0');
    file.read(bytes.data(), static_cast<std::streamsize>(length));
    return bytes;
  }

  ScratchDirectory scratch_;
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(ModuleCheckTest, CheckReportsWhatABootstrapperWouldFind) {
  for (const Case& test : Cases()) {
    SCOPED_TRACE(test.name);
    const int status = Run({"check", test.file, "--system", test.system});
    EXPECT_EQ(status, test.problems == 0 ? kExitOk : kExitFailed) << out_.str() << err_.str();
    const std::vector<std::string> lines = OutLines();
    for (const std::string& expected : test.lines) {
      bool found = false;
      for (const std::string& line : lines) found = found || line.find(expected) != std::string::npos;
      EXPECT_TRUE(found) << "missing \"" << expected << "\" in:\n" << out_.str();
    }
    std::size_t problems = 0;
    for (const std::string& line : lines) problems += line.starts_with("problem: ") ? 1 : 0;
    EXPECT_EQ(problems, test.problems) << out_.str();
    if (test.problems > 0) {
      EXPECT_EQ(lines.back(), "not loadable for " + test.system + ": " + std::to_string(test.problems) + " problem(s)");
    }
  }
}

TEST_F(ModuleCheckTest, PublishRefusesWhatCheckRefusesUnlessForced) {
  int index = 0;
  for (const Case& test : Cases()) {
    SCOPED_TRACE(test.name);
    const std::string root = (scratch_.path() / ("root-" + std::to_string(index++))).string();
    const std::filesystem::path target = std::filesystem::path(root) / "modules" / "prod-1" / "dep-1" / test.system;
    const std::vector<std::string> publish = {"publish", test.file, "--product", "prod-1", "--deployment", "dep-1",
                                              "--system", test.system, "--root", root};
    if (test.problems == 0) {
      EXPECT_EQ(Run(publish), kExitOk) << err_.str();
      EXPECT_TRUE(std::filesystem::exists(target));
      continue;
    }
    EXPECT_EQ(Run(publish), kExitFailed);
    EXPECT_NE(err_.str().find("qvl-cdn: refusing to publish " + test.file), std::string::npos) << err_.str();
    EXPECT_NE(err_.str().find("--force publishes it anyway"), std::string::npos) << err_.str();
    EXPECT_FALSE(std::filesystem::exists(root)) << "nothing is written";

    std::vector<std::string> forced = publish;
    forced.push_back("--force");
    EXPECT_EQ(Run(forced), kExitOk) << err_.str();
    EXPECT_TRUE(std::filesystem::exists(target));
    EXPECT_NE(err_.str().find("publishing it anyway (--force)"), std::string::npos) << err_.str();
  }
}

TEST_F(ModuleCheckTest, CheckNeedsAFileAndASystem) {
  const std::string file = Write("module.bin", "x");
  const std::vector<std::vector<std::string>> cases = {
      {"check"},
      {"check", file},
      {"check", "--system", "win64"},
      {"check", file, "--system"},
      {"check", file, file, "--system", "win64"},
      {"check", file, "--system", "win64", "--force"},
  };
  for (const auto& arguments : cases) {
    EXPECT_EQ(Run(arguments), kExitUsage) << testing::PrintToString(arguments);
    EXPECT_NE(err_.str().find("Usage:"), std::string::npos);
  }
  EXPECT_EQ(Run({"check", (scratch_.path() / "missing").string(), "--system", "win64"}), kExitFailed);
  EXPECT_NE(err_.str().find("cannot open"), std::string::npos);
}

TEST(KnownSystems, AreTheNamesTheBootstrapperAsksForWithWhatItLoads) {
  std::vector<std::string> names;
  for (const SystemExpectation& system : KnownSystems()) {
    names.push_back(system.system);
    const bool windows = system.system.starts_with("win");
    EXPECT_EQ(system.format, windows ? ModuleFormat::Pe : ModuleFormat::Elf) << system.system;
  }
  EXPECT_EQ(names, (std::vector<std::string>{"win64", "linux64", "win64_wow64", "linux64_32", "linux32"}));
}

}  // namespace
}  // namespace quarvel::cdn_tool
