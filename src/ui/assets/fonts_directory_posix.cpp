#include "ui/assets/asset_store.h"

namespace quarvel::ui {

// Catalogues name Windows font files; here the built-in fonts serve every
// language we ship.
bool SystemFontsSupported() { return false; }

std::string GetFontsDirectory() { return {}; }

}  // namespace quarvel::ui
