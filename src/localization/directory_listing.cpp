#include "localization/directory_listing.h"

#include "common/strings.h"

namespace quarvel {

bool HasExtensionIgnoreCase(const std::string& name, const std::string& extension) {
  return name.size() >= extension.size() &&
         EqualsIgnoreCaseAscii(name.c_str() + (name.size() - extension.size()), extension.c_str());
}

}  // namespace quarvel
