#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio_endpoints.h"

namespace testsupport {

/// A machine's audio endpoints behind the platform's audio interfaces. Keep it alive as long as
/// the objects it hands out.
struct FakeAudio {
  struct Endpoint {
    std::string id = {};
    std::string friendlyName = {};
    uint32_t state = platform::kDeviceStateActive;
    uint16_t nameType = platform::kVariantWideString;
    std::function<float()> level = [] { return 0.0f; };  // what its meter reads
  };

  std::vector<Endpoint> endpoints;  // the first is the default
  /// Calls that fail, by name ("Item", "GetPeakValue", ...), with their result.
  std::map<std::string, platform::AudioResult> failures;
  int meterActivations = 0;

  std::shared_ptr<platform::IMMDeviceEnumerator> Enumerator();
  /// A new device object for endpoint `index`.
  std::shared_ptr<platform::IMMDevice> Device(size_t index);
};

}  // namespace testsupport
