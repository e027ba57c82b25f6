#pragma once

#include <string>
#include <vector>

namespace quarvel::launcher {

// The process environment SDL's video starts in, for as long as this lives:
// set so the start skips work the bootstrapper's window has no use for, and
// given back after, so nothing started later (the game) inherits it.
// Construct and destroy on the main thread before other threads read the
// environment.
class cVideoStartEnvironment {
 public:
  cVideoStartEnvironment();
  ~cVideoStartEnvironment();
  cVideoStartEnvironment(const cVideoStartEnvironment&) = delete;
  cVideoStartEnvironment& operator=(const cVideoStartEnvironment&) = delete;

 private:
  struct Saved {
    std::string name;
    bool present = false;
    std::string value;
  };
  // Sets `name` to `value`, remembering what it was; `onlyIfUnset` leaves a
  // value the user set alone.
  void Set(const char* name, const char* value, bool onlyIfUnset);

  std::vector<Saved> saved_;
};

}  // namespace quarvel::launcher
