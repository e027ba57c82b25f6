#pragma once

#include <ostream>
#include <string>
#include <vector>

// qvl-cdn: prepares anti-cheat modules for the module CDN. The commands
// (arguments after the program name, UTF-8):
//   check FILE --system S
//   publish FILE --product P --deployment D --system S --root DIR [--force]
//   sign --key KEY.pem FILE
//   scramble IN OUT
//   unscramble IN OUT
//   --help
//   --version
namespace quarvel::cdn_tool {

// Exit codes of the tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

int RunQvlCdn(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

// Scrambles `file` into `root`/modules/`product`/`deployment`/`system`, the
// path the bootstrapper downloads it from. The file appears whole or not at
// all: it is written under a temporary name beside its place and renamed.
// The ids must be 2 to 64 ASCII letters, digits or '-'; the system name 1
// to 32 lower-case letters, digits or '_'. `error` says why on failure. The
// file is not checked: the publish command checks it first (module_check.h).
bool PublishModule(const std::string& file, const std::string& product, const std::string& deployment,
                   const std::string& system, const std::string& root, std::string& published, std::string& error);

}  // namespace quarvel::cdn_tool
