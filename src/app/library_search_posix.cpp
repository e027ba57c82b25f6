#include "app/library_search.h"

namespace quarvel::launcher {

// The dynamic linker never searches the executable's directory or the
// working directory unless the executable's run path names it (ours names
// none), and the module is loaded from memory: there is nothing to restrict.
void RestrictLibrarySearch() {}

}  // namespace quarvel::launcher
