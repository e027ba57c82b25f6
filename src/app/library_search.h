#pragma once

// Where the process looks for the libraries it loads by name.
namespace quarvel::launcher {

// Called first thing at start-up. On Windows the bootstrapper runs from a game
// folder that players (and the cheats they run) can write to, and a library
// loaded by bare name would be looked for there first: from here on such
// loads, including the imports of a mapped module and of the delay-loaded
// system libraries, search only the system directory.
void RestrictLibrarySearch();

}  // namespace quarvel::launcher
