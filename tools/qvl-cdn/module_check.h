#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <span>
#include <string>
#include <vector>

// qvl-cdn check: what a player's bootstrapper would find in a module file
// published for a system name, found with the bootstrapper's own image code.
// Each image format has a checker of its own (module_check_pe.cpp,
// module_check_elf.cpp) that adds its facts and problems to one report; a new
// property of a format is one more step in its checker.
namespace quarvel::cdn_tool {

enum class ModuleFormat {
  Pe,   // a PE32+ x86-64 DLL, mapped by the Windows bootstrapper
  Elf,  // an ELF64 x86-64 shared object, loaded natively or under Wine
};

// What the bootstrapper that asks for a system name loads. The bootstrapper
// is a 64-bit process that loads the module into itself, so the module is
// x86-64 whatever the game is.
struct SystemExpectation {
  std::string system;
  ModuleFormat format;
};

// The system names a bootstrapper asks for (those GetSystemName produces),
// each with what it loads.
std::vector<SystemExpectation> KnownSystems();

class cModuleReport {
 public:
  void Fact(const std::string& line) { lines_.push_back({line, false}); }
  void Problem(const std::string& line) { lines_.push_back({line, true}); }

  bool Loadable() const { return ProblemCount() == 0; }
  std::size_t ProblemCount() const;
  std::vector<std::string> Problems() const;
  // Every line in order, problems as "problem: ...", then the verdict.
  void Print(std::ostream& out, const std::string& system) const;

 private:
  struct Line {
    std::string text;
    bool problem;
  };
  std::vector<Line> lines_;
};

// Checks the module image `bytes`, read from `path` (UTF-8; named in the
// report and used where the system's own signature code wants a file).
cModuleReport CheckModule(const std::string& path, std::span<const std::uint8_t> bytes, const std::string& system);

// The format checkers, for an image whose magic bytes name their format.
// `expected` is null when the system name is unknown.
void CheckPeModule(const std::string& path, std::span<const std::uint8_t> bytes, const SystemExpectation* expected,
                   cModuleReport& report);
void CheckElfModule(const std::string& path, std::span<const std::uint8_t> bytes, const SystemExpectation* expected,
                    cModuleReport& report);

// "a PE32+ x86-64 DLL" or "an ELF64 x86-64 shared object".
const char* DescribeFormat(ModuleFormat format);

// Collects the Error lines the bootstrapper's code logs while it is alive,
// without their prefix: they say why an image was refused.
class cRefusalLog {
 public:
  cRefusalLog();
  ~cRefusalLog();
  cRefusalLog(const cRefusalLog&) = delete;
  cRefusalLog& operator=(const cRefusalLog&) = delete;

  // The lines so far joined with "; ", or `fallback` when there are none.
  std::string Take(const std::string& fallback);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace quarvel::cdn_tool
