#include "app/video_start_environment.h"

namespace quarvel::launcher {

// SDL's video on Windows reads nothing from the environment worth skipping.
cVideoStartEnvironment::cVideoStartEnvironment() = default;
cVideoStartEnvironment::~cVideoStartEnvironment() = default;

void cVideoStartEnvironment::Set(const char*, const char*, bool) {}

}  // namespace quarvel::launcher
