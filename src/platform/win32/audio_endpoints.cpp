#include "platform/audio_endpoints.h"

#include <windows.h>
// Core Audio after windows.h.
#include <endpointvolume.h>
#include <mmdeviceapi.h>

#include "platform/win32/wide_text.h"

// The peak meter interface as the Windows SDK declares it; MinGW-w64's endpointvolume.h only
// names it.
struct IAudioMeterInformation : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetPeakValue(float* peak) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMeteringChannelCount(UINT* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetChannelsPeakValues(UINT32 count, float* peaks) = 0;
  virtual HRESULT STDMETHODCALLTYPE QueryHardwareSupport(DWORD* mask) = 0;
};
__CRT_UUID_DECL(IAudioMeterInformation, 0xc02216f6, 0x8c67, 0x4b5b, 0x9d, 0x00, 0xd0, 0x08, 0xe7,
                0x3e, 0x00, 0x64)

// Core Audio's own objects behind the platform's interfaces: each wrapper holds one COM
// reference and releases it with the last shared pointer to it.

namespace platform {

namespace {

/// PKEY_Device_FriendlyName, which MinGW-w64 declares without defining it.
const PROPERTYKEY kFriendlyName = {
    {0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 14};

/// One COM reference, released on destruction.
template <typename Interface>
class ComReference {
 public:
  explicit ComReference(Interface* object) : object_(object) {}
  ~ComReference() {
    if (object_ != nullptr) object_->Release();
  }
  ComReference(const ComReference&) = delete;
  ComReference& operator=(const ComReference&) = delete;

  Interface* operator->() const { return object_; }

 private:
  Interface* object_;
};

class Meter final : public IAudioMeterInformation {
 public:
  explicit Meter(::IAudioMeterInformation* meter) : meter_(meter) {}
  AudioResult GetPeakValue(float* peak) override { return meter_->GetPeakValue(peak); }

 private:
  ComReference<::IAudioMeterInformation> meter_;
};

class Properties final : public IPropertyStore {
 public:
  explicit Properties(::IPropertyStore* store) : store_(store) {}

  AudioResult GetFriendlyName(PropertyVariant* value) override {
    PROPVARIANT variant;
    PropVariantInit(&variant);
    const HRESULT result = store_->GetValue(kFriendlyName, &variant);
    if (SUCCEEDED(result)) {
      value->type = variant.vt;
      value->text = variant.vt == VT_LPWSTR && variant.pwszVal != nullptr ? Narrow(variant.pwszVal)
                                                                          : std::string();
    }
    PropVariantClear(&variant);
    return result;
  }

 private:
  ComReference<::IPropertyStore> store_;
};

class Endpoint final : public IMMDevice {
 public:
  explicit Endpoint(::IMMDevice* device) : device_(device) {}

  AudioResult GetId(std::string* id) override {
    LPWSTR text = nullptr;
    const HRESULT result = device_->GetId(&text);
    if (SUCCEEDED(result)) *id = Narrow(text);
    CoTaskMemFree(text);
    return result;
  }

  AudioResult OpenPropertyStore(std::shared_ptr<IPropertyStore>* store) override {
    ::IPropertyStore* opened = nullptr;
    const HRESULT result = device_->OpenPropertyStore(STGM_READ, &opened);
    if (SUCCEEDED(result)) *store = std::make_shared<Properties>(opened);
    return result;
  }

  AudioResult ActivateAudioMeter(std::shared_ptr<IAudioMeterInformation>* meter) override {
    ::IAudioMeterInformation* activated = nullptr;
    const HRESULT result = device_->Activate(__uuidof(::IAudioMeterInformation), CLSCTX_ALL,
                                             nullptr, reinterpret_cast<void**>(&activated));
    if (SUCCEEDED(result)) *meter = std::make_shared<Meter>(activated);
    return result;
  }

 private:
  ComReference<::IMMDevice> device_;
};

class Collection final : public IMMDeviceCollection {
 public:
  explicit Collection(::IMMDeviceCollection* devices) : devices_(devices) {}

  AudioResult GetCount(uint32_t* count) override {
    UINT value = 0;
    const HRESULT result = devices_->GetCount(&value);
    if (SUCCEEDED(result)) *count = value;
    return result;
  }

  AudioResult Item(uint32_t index, std::shared_ptr<IMMDevice>* device) override {
    ::IMMDevice* item = nullptr;
    const HRESULT result = devices_->Item(index, &item);
    if (SUCCEEDED(result)) *device = std::make_shared<Endpoint>(item);
    return result;
  }

 private:
  ComReference<::IMMDeviceCollection> devices_;
};

class Enumerator final : public IMMDeviceEnumerator {
 public:
  explicit Enumerator(::IMMDeviceEnumerator* enumerator) : enumerator_(enumerator) {}

  AudioResult EnumAudioEndpoints(uint32_t stateMask,
                                 std::shared_ptr<IMMDeviceCollection>* devices) override {
    ::IMMDeviceCollection* collection = nullptr;
    const HRESULT result = enumerator_->EnumAudioEndpoints(eRender, stateMask, &collection);
    if (SUCCEEDED(result)) *devices = std::make_shared<Collection>(collection);
    return result;
  }

  AudioResult GetDefaultAudioEndpoint(std::shared_ptr<IMMDevice>* device) override {
    ::IMMDevice* endpoint = nullptr;
    const HRESULT result = enumerator_->GetDefaultAudioEndpoint(eRender, eConsole, &endpoint);
    if (SUCCEEDED(result)) *device = std::make_shared<Endpoint>(endpoint);
    return result;
  }

 private:
  ComReference<::IMMDeviceEnumerator> enumerator_;
};

}  // namespace

void InitializeComponentModel() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }

AudioResult CreateDeviceEnumerator(std::shared_ptr<IMMDeviceEnumerator>* enumerator) {
  ::IMMDeviceEnumerator* created = nullptr;
  const HRESULT result =
      CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_INPROC_SERVER,
                       __uuidof(::IMMDeviceEnumerator), reinterpret_cast<void**>(&created));
  if (SUCCEEDED(result)) *enumerator = std::make_shared<Enumerator>(created);
  return result;
}

}  // namespace platform
