#include <sys/wait.h>
#include <unistd.h>

#include "launch/process/testing/test_process.h"

namespace quarvel::launcher::test_support {

std::uint32_t CurrentProcessId() { return static_cast<std::uint32_t>(getpid()); }

ExitingChild::ExitingChild(std::uint32_t exitCode) {
  const pid_t pid = fork();
  if (pid == 0) _exit(static_cast<int>(exitCode));
  if (pid > 0) id_ = static_cast<std::uint32_t>(pid);
}

ExitingChild::~ExitingChild() {
  if (id_ != 0) waitpid(static_cast<pid_t>(id_), nullptr, 0);
}

}  // namespace quarvel::launcher::test_support
