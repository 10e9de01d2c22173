#include "events/telemetry_event.h"

#include <algorithm>

namespace LUX::Telemetry {

std::string ReadPayloadText(const TelemetryEvent& event, size_t offset, size_t maxBytes) {
  if (offset >= kPayloadBytes) return {};
  const char* begin = reinterpret_cast<const char*>(event.payload) + offset;
  const size_t limit = std::min(maxBytes, kPayloadBytes - offset);
  return std::string(begin, std::find(begin, begin + limit, '\0'));
}

}  // namespace LUX::Telemetry
