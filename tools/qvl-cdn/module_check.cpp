#include "module_check.h"

#include <cstring>
#include <mutex>

#include "common/logger.h"
#include "launch/process/system_name.h"

namespace quarvel::cdn_tool {
namespace {

constexpr std::uint8_t kMz[] = {'M', 'Z'};
constexpr std::uint8_t kElfMagic[] = {0x7F, 'E', 'L', 'F'};

bool StartsWith(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> magic) {
  return bytes.size() >= magic.size() && std::memcmp(bytes.data(), magic.data(), magic.size()) == 0;
}

std::string KnownSystemNames() {
  std::string names;
  for (const SystemExpectation& known : KnownSystems()) names += (names.empty() ? "" : ", ") + known.system;
  return names;
}

// The text of a log line after its "[time] [platform] [QVL Bootstrapper] [tag] " prefix.
std::string LineBody(const char* line) {
  const char* tag = std::strstr(line, "[QVL Bootstrapper] [");
  if (tag == nullptr) return line;
  const char* end = std::strstr(tag + 20, "] ");
  return end == nullptr ? std::string(line) : std::string(end + 2);
}

}  // namespace

std::vector<SystemExpectation> KnownSystems() {
  using launcher::ImageKind;
  std::vector<SystemExpectation> systems;
  for (const ImageKind kind : {ImageKind::Windows64, ImageKind::Windows32, ImageKind::Linux64, ImageKind::Linux32}) {
    for (const bool underWine : {false, true}) {
      const bool windowsGame = kind == ImageKind::Windows64 || kind == ImageKind::Windows32;
      // Under Wine the Windows bootstrapper loads a native Linux module.
      const SystemExpectation system{launcher::SystemNameOf(kind, underWine),
                                     windowsGame && !underWine ? ModuleFormat::Pe : ModuleFormat::Elf};
      bool listed = false;
      for (const SystemExpectation& known : systems) listed = listed || known.system == system.system;
      if (!listed) systems.push_back(system);
    }
  }
  return systems;
}

const char* DescribeFormat(ModuleFormat format) {
  return format == ModuleFormat::Pe ? "a PE32+ x86-64 DLL" : "an ELF64 x86-64 shared object";
}

std::size_t cModuleReport::ProblemCount() const {
  std::size_t count = 0;
  for (const Line& line : lines_) count += line.problem ? 1 : 0;
  return count;
}

std::vector<std::string> cModuleReport::Problems() const {
  std::vector<std::string> problems;
  for (const Line& line : lines_) {
    if (line.problem) problems.push_back(line.text);
  }
  return problems;
}

void cModuleReport::Print(std::ostream& out, const std::string& system) const {
  for (const Line& line : lines_) out << (line.problem ? "problem: " : "") << line.text << "\n";
  if (Loadable()) {
    out << "loadable for " << system << "\n";
  } else {
    out << "not loadable for " << system << ": " << ProblemCount() << " problem(s)\n";
  }
}

cModuleReport CheckModule(const std::string& path, std::span<const std::uint8_t> bytes, const std::string& system) {
  cModuleReport report;
  const SystemExpectation* expected = nullptr;
  const std::vector<SystemExpectation> systems = KnownSystems();
  for (const SystemExpectation& known : systems) {
    if (known.system == system) expected = &known;
  }
  if (StartsWith(bytes, kMz)) {
    CheckPeModule(path, bytes, expected, report);
  } else if (StartsWith(bytes, kElfMagic)) {
    CheckElfModule(path, bytes, expected, report);
  } else {
    report.Fact(path + ": neither a PE nor an ELF image (" + std::to_string(bytes.size()) + " bytes)");
    if (expected != nullptr) {
      report.Problem("system " + system + " needs " + DescribeFormat(expected->format) + ", this is not one");
    } else {
      report.Problem("not a module image");
    }
  }
  if (expected == nullptr) {
    report.Problem("system name '" + system + "' is not one a bootstrapper asks for (" + KnownSystemNames() + ")");
  }
  return report;
}

struct cRefusalLog::State {
  cLogger logger;
  cLogger* previous = nullptr;
  std::mutex lock;
  std::vector<std::string> lines;
};

cRefusalLog::cRefusalLog() : state_(std::make_unique<State>()) {
  state_->previous = GetActiveLogger();
  state_->logger.StartWorker();
  state_->logger.AttachSink(
      [state = state_.get()](unsigned level, const char* line) {
        if (level > static_cast<unsigned>(LogLevel::Error)) return;
        std::lock_guard lock(state->lock);
        state->lines.push_back(LineBody(line));
      },
      static_cast<unsigned>(LogLevel::Error));
  SetActiveLogger(&state_->logger);
}

cRefusalLog::~cRefusalLog() {
  SetActiveLogger(state_->previous);
  state_->logger.StopWorker();
}

std::string cRefusalLog::Take(const std::string& fallback) {
  state_->logger.Flush();
  std::lock_guard lock(state_->lock);
  std::string joined;
  for (const std::string& line : state_->lines) joined += (joined.empty() ? "" : "; ") + line;
  state_->lines.clear();
  return joined.empty() ? fallback : joined;
}

}  // namespace quarvel::cdn_tool
