#include "launch/process/overlay_switch.h"

#include "common/platform.h"

namespace quarvel::launcher {

void SetOverlaySuppression(bool on) { SetEnvironmentVariableUtf8(kOverlayVariable, on ? kOverlayOn : kOverlayOff); }

}  // namespace quarvel::launcher
