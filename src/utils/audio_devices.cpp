#include "utils/audio_devices.h"

#include <stdexcept>
#include <utility>

namespace QasUtils {

namespace {

/// E_POINTER: the empty device has no properties and nothing to meter.
constexpr platform::AudioResult kNoDevice = static_cast<platform::AudioResult>(0x80004003);

/// Raises `message` followed by `result` when the call failed.
void Check(platform::AudioResult result, const std::string& message) {
  if (result < 0) throw std::runtime_error(message + std::to_string(result));
}

/// The system's enumerator, after the component model of the calling thread.
std::shared_ptr<platform::IMMDeviceEnumerator> CreateEnumerator() {
  platform::InitializeComponentModel();
  std::shared_ptr<platform::IMMDeviceEnumerator> enumerator;
  Check(platform::CreateDeviceEnumerator(&enumerator), "Failed to create device enumerator ");
  return enumerator;
}

}  // namespace

float AudioMeterInformation::GetPeakValue() const {
  float peak = 0.0f;
  Check(Object().GetPeakValue(&peak), "Can't get peak value ");
  return peak;
}

std::string PropertyStore::GetFriendlyName() const {
  platform::PropertyVariant value;
  Check(Object().GetFriendlyName(&value), "Failed to get property value ");
  if (value.type != platform::kVariantWideString) {
    throw std::runtime_error("Unexpected variant type " + std::to_string(value.type));
  }
  return value.text;
}

MMDevice::MMDevice(std::shared_ptr<platform::IMMDevice> device)
    : CoReferenceTracker(std::move(device)) {}

std::string MMDevice::GetDeviceId() const {
  std::string id;
  if (!IsEmpty()) Check(Object().GetId(&id), "Failed to get device Id ");
  return id;
}

PropertyStore MMDevice::OpenPropertyStore() const {
  const std::string failure = "Failed to open property store ";
  if (IsEmpty()) Check(kNoDevice, failure);
  std::shared_ptr<platform::IPropertyStore> store;
  Check(Object().OpenPropertyStore(&store), failure);
  return PropertyStore(std::move(store));
}

float MMDevice::GetPeakValue() {
  if (meter_.IsEmpty()) {
    const std::string failure = "Failed to get audio meter information ";
    if (IsEmpty()) Check(kNoDevice, failure);
    std::shared_ptr<platform::IAudioMeterInformation> meter;
    Check(Object().ActivateAudioMeter(&meter), failure);
    meter_ = AudioMeterInformation(std::move(meter));
  }
  return meter_.GetPeakValue();
}

MMDeviceEnumerator::MMDeviceEnumerator() : CoReferenceTracker(CreateEnumerator()) {}

MMDeviceEnumerator::MMDeviceEnumerator(std::shared_ptr<platform::IMMDeviceEnumerator> enumerator)
    : CoReferenceTracker(std::move(enumerator)) {}

MMDevice MMDeviceEnumerator::GetDefaultEndpoint() const {
  std::shared_ptr<platform::IMMDevice> device;
  Check(Object().GetDefaultAudioEndpoint(&device), "Failed to get default endpoint ");
  return MMDevice(std::move(device));
}

std::vector<MMDevice> MMDeviceEnumerator::EnumerateDevices(uint32_t stateMask) const {
  std::shared_ptr<platform::IMMDeviceCollection> collection;
  Check(Object().EnumAudioEndpoints(stateMask, &collection), "Failed to get device collection ");
  uint32_t count = 0;
  Check(collection->GetCount(&count), "Failed to get device count ");
  std::vector<MMDevice> devices;
  for (uint32_t i = 0; i < count; ++i) {
    std::shared_ptr<platform::IMMDevice> device;
    Check(collection->Item(i, &device), "Failed to get device " + std::to_string(i) + " of " +
                                            std::to_string(count) + " due to ");
    devices.emplace_back(std::move(device));
  }
  return devices;
}

MMDevice MMDeviceEnumerator::FindDeviceByName(const std::string& text) const {
  for (const MMDevice& device : EnumerateDevices(platform::kDeviceStateActive)) {
    if (device.OpenPropertyStore().GetFriendlyName().find(text) != std::string::npos) {
      return device;
    }
  }
  return MMDevice();
}

}  // namespace QasUtils
