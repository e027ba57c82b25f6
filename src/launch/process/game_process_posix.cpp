#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

#include "common/strings.h"
#include "launch/process/game_process.h"
#include "launch/process/overlay_switch.h"

extern char** environ;

namespace quarvel::launcher {
namespace {

// Our environment with the overlay variable set to "0". Read while no other
// thread changes the environment (the program sets its variables at start).
std::vector<std::string> GameEnvironment() {
  const std::string prefix = std::string(kOverlayVariable) + "=";
  std::vector<std::string> entries;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    if (std::string_view(*entry).starts_with(prefix)) continue;
    entries.emplace_back(*entry);
  }
  entries.push_back(prefix + kOverlayOff);
  return entries;
}

std::vector<char*> PointersTo(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  pointers.reserve(strings.size() + 1);
  for (std::string& text : strings) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// The binary as the game's working directory sees it: the child changes
// directory before it runs the binary, but a relative path means one relative
// to our own current directory, as on Windows.
bool ResolveBinary(const std::string& path, std::string& resolved) {
  if (path.starts_with('/')) {
    resolved = path;
    return true;
  }
  std::vector<char> buffer(4096);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return false;
    buffer.resize(buffer.size() * 2);
  }
  resolved = std::string(buffer.data()) + "/" + path;
  return true;
}

std::string DescribeError(int error) {
  char buffer[256] = {};
  const char* text = strerror_r(error, buffer, sizeof(buffer));
  if (text != nullptr && text[0] != '\0') return text;
  std::string line = "posix_spawn failed with {0}.";
  FormatPlaceholders(line, {std::to_string(error)});
  return line;
}

// Owns the spawn settings for one start.
class SpawnSetup {
 public:
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions_);
    posix_spawnattr_init(&attributes_);
  }
  ~SpawnSetup() {
    posix_spawnattr_destroy(&attributes_);
    posix_spawn_file_actions_destroy(&actions_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  // 0 or the error number.
  int Configure(const std::string& workingDirectory) {
    if (!workingDirectory.empty()) {
      if (const int error = posix_spawn_file_actions_addchdir_np(&actions_, workingDirectory.c_str())) return error;
    }
    // Only the standard descriptors go over, as no handle goes over on Windows.
    if (const int error = posix_spawn_file_actions_addclosefrom_np(&actions_, 3)) return error;
    // The game starts with no signal blocked or ignored, whatever the thread
    // that starts it has set up.
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes_, &none);
    posix_spawnattr_setsigdefault(&attributes_, &all);
    return posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  }

  const posix_spawn_file_actions_t* Actions() const { return &actions_; }
  const posix_spawnattr_t* Attributes() const { return &attributes_; }

 private:
  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attributes_;
};

}  // namespace

GameStartResult StartGameProcess(const std::string& path, const std::vector<std::string>& arguments,
                                 const std::string& workingDirectory) {
  GameStartResult result;
  std::string binary;
  if (path.empty() || !ResolveBinary(path, binary)) {
    result.systemError = DescribeError(path.empty() ? ENOENT : errno);
    return result;
  }

  std::vector<std::string> argumentStrings;
  argumentStrings.reserve(arguments.size() + 1);
  argumentStrings.push_back(path);
  argumentStrings.insert(argumentStrings.end(), arguments.begin(), arguments.end());
  std::vector<std::string> environmentStrings = GameEnvironment();
  const std::vector<char*> argv = PointersTo(argumentStrings);
  const std::vector<char*> envp = PointersTo(environmentStrings);

  SpawnSetup setup;
  pid_t pid = 0;
  int error = setup.Configure(workingDirectory);
  if (error == 0) error = posix_spawn(&pid, binary.c_str(), setup.Actions(), setup.Attributes(), argv.data(), envp.data());
  if (error != 0) {
    result.systemError = DescribeError(error);
    return result;
  }
  if (pid <= 0) {
    result.status = GameStartStatus::NoProcessId;
    return result;
  }
  result.process.processId = static_cast<std::uint32_t>(pid);
  result.process.handle = ProcessHandle::Open(result.process.processId);
  result.status = GameStartStatus::Started;
  return result;
}

}  // namespace quarvel::launcher
