#include <windows.h>

#include "app/library_search.h"

namespace quarvel::launcher {

void RestrictLibrarySearch() { SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32); }

}  // namespace quarvel::launcher
