#pragma once

#include <cstdint>
#include <memory>
#include <string>

// The audio output endpoints of the machine and their peak meters, in the meaning of Windows
// Core Audio (the MMDevice API): an enumerator of the render endpoints and of the default one,
// each endpoint's id and property store, and an endpoint's peak meter. Every call returns an
// HRESULT (0 on success, negative on failure) and hands its object out through a pointer
// argument. A reference is a shared pointer: a copy is one more reference, the last one
// releases the object. Objects are used on the thread that created them.

namespace platform {

/// An HRESULT: 0 (S_OK) or a negative failure code.
using AudioResult = int32_t;

/// Endpoint states (DEVICE_STATE_ACTIVE, DEVICE_STATE_UNPLUGGED), combined into the masks of
/// `EnumAudioEndpoints`.
inline constexpr uint32_t kDeviceStateActive = 0x1;
inline constexpr uint32_t kDeviceStateUnplugged = 0x8;

/// Variant types of a property value (VARENUM): none yet, and a wide string (VT_LPWSTR).
inline constexpr uint16_t kVariantEmpty = 0;
inline constexpr uint16_t kVariantWideString = 31;

/// A property value (PROPVARIANT): its variant type and, for a wide string, the text in UTF-8.
struct PropertyVariant {
  uint16_t type = kVariantEmpty;
  std::string text;
};

/// An endpoint's peak meter (IAudioMeterInformation).
class IAudioMeterInformation {
 public:
  virtual ~IAudioMeterInformation() = default;
  /// The peak sample of the endpoint's current sound, 0.0 (silence) to 1.0 (full scale)
  /// (`GetPeakValue`).
  virtual AudioResult GetPeakValue(float* peak) = 0;
};

/// An endpoint's properties, opened for reading (IPropertyStore from `STGM_READ`).
class IPropertyStore {
 public:
  virtual ~IPropertyStore() = default;
  /// The value of `PKEY_Device_FriendlyName` (`GetValue`), e.g. "Speakers (Realtek Audio)".
  virtual AudioResult GetFriendlyName(PropertyVariant* value) = 0;
};

/// An audio endpoint (IMMDevice).
class IMMDevice {
 public:
  virtual ~IMMDevice() = default;
  /// The endpoint id (`GetId`), in UTF-8.
  virtual AudioResult GetId(std::string* id) = 0;
  /// The property store, read access (`OpenPropertyStore` with `STGM_READ`).
  virtual AudioResult OpenPropertyStore(std::shared_ptr<IPropertyStore>* store) = 0;
  /// The endpoint's peak meter (`Activate` with `IID_IAudioMeterInformation`, `CLSCTX_ALL`, no
  /// parameters). Metering starts here: the meter reads 0.0 until the first sound arrives.
  virtual AudioResult ActivateAudioMeter(std::shared_ptr<IAudioMeterInformation>* meter) = 0;
};

/// A fixed list of endpoints (IMMDeviceCollection).
class IMMDeviceCollection {
 public:
  virtual ~IMMDeviceCollection() = default;
  virtual AudioResult GetCount(uint32_t* count) = 0;
  /// The endpoint at `index`, counted from 0 (`Item`).
  virtual AudioResult Item(uint32_t index, std::shared_ptr<IMMDevice>* device) = 0;
};

/// The endpoint enumerator (IMMDeviceEnumerator).
class IMMDeviceEnumerator {
 public:
  virtual ~IMMDeviceEnumerator() = default;
  /// The render endpoints whose state is in `stateMask` (`EnumAudioEndpoints` with `eRender`),
  /// in the system's order.
  virtual AudioResult EnumAudioEndpoints(uint32_t stateMask,
                                         std::shared_ptr<IMMDeviceCollection>* devices) = 0;
  /// The default render endpoint of the console role (`GetDefaultAudioEndpoint` with `eRender`
  /// and `eConsole`).
  virtual AudioResult GetDefaultAudioEndpoint(std::shared_ptr<IMMDevice>* device) = 0;
};

/// Initialises the component model for the calling thread as a single-threaded apartment
/// (`CoInitializeEx` with `COINIT_APARTMENTTHREADED`); what it returns does not matter, and it
/// is never undone.
void InitializeComponentModel();

/// A new endpoint enumerator (`CoCreateInstance` of `CLSID_MMDeviceEnumerator`, in-process
/// server, `IID_IMMDeviceEnumerator`).
AudioResult CreateDeviceEnumerator(std::shared_ptr<IMMDeviceEnumerator>* enumerator);

}  // namespace platform
