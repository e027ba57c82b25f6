#include "analytics/operating_system.h"

#include <sys/utsname.h>

namespace quarvel::Analytics {

OperatingSystem DescribeOperatingSystem() {
  utsname names{};
  if (uname(&names) != 0) return {"Linux", "64-bit"};
  return {"Linux", std::string(names.release) + " 64-bit"};
}

}  // namespace quarvel::Analytics
