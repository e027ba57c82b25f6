#include "module_signing.h"

namespace quarvel::cdn_tool {

// Signing keys are kept where modules are built; the Windows tool publishes
// and checks, but does not read private keys.
bool SignModuleBytes(std::vector<std::uint8_t>&, const std::string&, std::string& error) {
  error = "signing needs the Linux build of qvl-cdn";
  return false;
}

}  // namespace quarvel::cdn_tool
