#include <SDL.h>

#include "app/entry.h"
#include "app/library_search.h"

// SDL's start-up code calls this on every platform; on Windows the entry
// reads the command line itself, so both arguments are only used elsewhere.
int main(int argc, char** argv) {
  quarvel::launcher::RestrictLibrarySearch();
  return quarvel::launcher::RunBootstrapper(argc, argv);
}
