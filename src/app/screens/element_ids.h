#pragma once

#include <cstdint>

// The twelve elements of the bootstrapper window, by id. The thousands give
// the kind: pictures, logo, shapes, texts, buttons.
namespace quarvel::launcher {

enum ElementId : std::int32_t {
  kSplashImage = 1001,
  kLogoAnimation = 2001,
  kStaticLogo = 2002,
  kProgressTrack = 3001,
  kProgressFill = 3002,
  kErrorOverlay = 3003,
  kStatusText = 4001,
  kPercentText = 4002,
  kErrorTitle = 4003,
  kErrorMessage = 4004,
  kCloseButton = 5001,
  kExitButton = 5002,
};

}  // namespace quarvel::launcher
