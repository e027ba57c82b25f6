#include <windows.h>

#include "app/switches.h"
#include "common/text_encoding.h"

namespace quarvel::launcher {

// argv is ignored: the wide command line carries every argument as UTF-8
// whatever the code page.
std::vector<std::string> ReadProcessArguments(int, char**) {
  return SplitCommandLine(WideToUtf8(GetCommandLineW()));
}

}  // namespace quarvel::launcher
