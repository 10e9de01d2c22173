#include "telemetry/guid_text.h"

#include <cstdio>

namespace QasValidator {

std::string GuidText(const platform::Guid& guid) {
  char text[37];
  std::snprintf(
      text, sizeof text, "%08lX-%04hX-%04hX-%02hhX%02hhX-%02hhX%02hhX%02hhX%02hhX%02hhX%02hhX",
      static_cast<unsigned long>(guid.data1), guid.data2, guid.data3, guid.data4[0], guid.data4[1],
      guid.data4[2], guid.data4[3], guid.data4[4], guid.data4[5], guid.data4[6], guid.data4[7]);
  return text;
}

std::string NewGuidText() { return GuidText(platform::NewGuid()); }

}  // namespace QasValidator
