#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/audio_endpoints.h"
#include "utils/co_reference_tracker.h"

// The machine's audio output devices as values: the enumerator, a device with its peak meter,
// and a device's properties. Every failure raises std::runtime_error whose text is the message
// followed by the failing result code in signed decimal, e.g. "Can't get peak value
// -2004287484". The objects are used on the thread that made them.

namespace QasUtils {

/// A device's peak meter.
class AudioMeterInformation : public CoReferenceTracker<platform::IAudioMeterInformation> {
 public:
  using CoReferenceTracker::CoReferenceTracker;

  /// The device's current peak level, 0.0 to 1.0; raises "Can't get peak value ".
  float GetPeakValue() const;
};

/// A device's properties, opened for reading.
class PropertyStore : public CoReferenceTracker<platform::IPropertyStore> {
 public:
  using CoReferenceTracker::CoReferenceTracker;

  /// The device's friendly name; raises "Failed to get property value " or, when the value is
  /// not a wide string, "Unexpected variant type " followed by its type.
  std::string GetFriendlyName() const;
};

/// An audio output device, or no device at all (the empty device). Devices are ordered and
/// compared by their ids, so two objects for the same device are one member of a set.
class MMDevice : public CoReferenceTracker<platform::IMMDevice> {
 public:
  /// The empty device.
  MMDevice() = default;
  explicit MMDevice(std::shared_ptr<platform::IMMDevice> device);

  /// The device id (empty for the empty device); raises "Failed to get device Id ".
  std::string GetDeviceId() const;
  /// The device's properties; raises "Failed to open property store ".
  PropertyStore OpenPropertyStore() const;
  /// The device's current peak level, 0.0 to 1.0. The first call attaches the meter, which then
  /// stays attached (copies made later share it); raises "Failed to get audio meter
  /// information " when it cannot be attached and "Can't get peak value ".
  float GetPeakValue();

  /// Orders by device id, byte-wise.
  bool operator<(const MMDevice& other) const { return GetDeviceId() < other.GetDeviceId(); }

 private:
  AudioMeterInformation meter_;  // empty until the first peak reading
};

/// Devices that count once each, by id.
using MMDeviceSet = std::set<MMDevice>;

/// The machine's audio output devices.
class MMDeviceEnumerator : public CoReferenceTracker<platform::IMMDeviceEnumerator> {
 public:
  /// The system's enumerator: initialises the component model for the calling thread, then
  /// creates it; raises "Failed to create device enumerator ".
  MMDeviceEnumerator();
  /// An enumerator over `enumerator`.
  explicit MMDeviceEnumerator(std::shared_ptr<platform::IMMDeviceEnumerator> enumerator);

  /// The default output device; raises "Failed to get default endpoint ".
  MMDevice GetDefaultEndpoint() const;
  /// The output devices whose state is in `stateMask` (platform::kDeviceState*), in the
  /// system's order; raises "Failed to get device collection ", "Failed to get device count "
  /// or "Failed to get device I of N due to CODE".
  std::vector<MMDevice> EnumerateDevices(uint32_t stateMask) const;
  /// The first active output device whose friendly name contains `text` (exactly, byte-wise),
  /// else the empty device.
  MMDevice FindDeviceByName(const std::string& text) const;
};

}  // namespace QasUtils
