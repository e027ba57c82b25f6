#include "launch/wine/wine_helper_buffer.h"

// A native build never runs under Wine, so it never has the stub: the entry
// only asks for it when IsRunningUnderWine says so.
namespace quarvel::launcher {

void* GetWineHelperBuffer() { return nullptr; }
bool PlaceWineHelperBuffer() { return false; }
void ReleaseWineHelperBuffer() {}

}  // namespace quarvel::launcher
