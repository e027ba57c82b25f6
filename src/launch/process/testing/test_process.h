#pragma once

#include <cstdint>

// Test helpers: processes to point process handles at.
namespace quarvel::launcher::test_support {

std::uint32_t CurrentProcessId();

// A child process that ends at once with `exitCode`. Its id stays valid (the
// process is not reaped or released) until this object goes.
class ExitingChild {
 public:
  explicit ExitingChild(std::uint32_t exitCode);
  ~ExitingChild();
  ExitingChild(const ExitingChild&) = delete;
  ExitingChild& operator=(const ExitingChild&) = delete;

  // 0 when the process could not be started.
  std::uint32_t Id() const { return id_; }

 private:
  std::uint32_t id_ = 0;
  void* native_ = nullptr;  // Windows: the process handle
};

}  // namespace quarvel::launcher::test_support
