#pragma once

#include <string>

struct SDL_Window;

namespace quarvel::launcher {

// The bootstrapper window's icon: "BootstrapperIcon.ico" from the Quarvel
// folder when it loads, on Windows else the game executable's own icon;
// failing both the window keeps the program's icon. The icons live as long as
// this object.
class cWindowIcons {
 public:
  cWindowIcons() = default;
  ~cWindowIcons();
  cWindowIcons(const cWindowIcons&) = delete;
  cWindowIcons& operator=(const cWindowIcons&) = delete;

  // `executableDirectory` ends with a separator; `gameExecutable` is the
  // game's full path.
  void Apply(SDL_Window* window, const std::string& executableDirectory, const std::string& gameExecutable);

 private:
  void* small_ = nullptr;  // slot 1
  void* large_ = nullptr;  // slot 2
};

}  // namespace quarvel::launcher
