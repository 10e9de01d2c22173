#include "support/fake_audio.h"

namespace testsupport {

namespace {

using platform::AudioResult;

/// Plays every audio interface: the enumerator, a collection of `members`, or endpoint
/// `index`'s device, property store and meter.
class FakeObject final : public platform::IMMDeviceEnumerator,
                         public platform::IMMDeviceCollection,
                         public platform::IMMDevice,
                         public platform::IPropertyStore,
                         public platform::IAudioMeterInformation {
 public:
  FakeObject(FakeAudio& audio, size_t index, std::vector<size_t> members = {})
      : audio_(audio), index_(index), members_(std::move(members)) {}

  AudioResult EnumAudioEndpoints(uint32_t stateMask,
                                 std::shared_ptr<platform::IMMDeviceCollection>* devices) override {
    std::vector<size_t> members;
    for (size_t i = 0; i < audio_.endpoints.size(); ++i) {
      if ((audio_.endpoints[i].state & stateMask) != 0) members.push_back(i);
    }
    *devices = std::make_shared<FakeObject>(audio_, 0, std::move(members));
    return Result("EnumAudioEndpoints");
  }
  AudioResult GetDefaultAudioEndpoint(std::shared_ptr<platform::IMMDevice>* device) override {
    *device = audio_.Device(0);
    return Result("GetDefaultAudioEndpoint");
  }
  AudioResult GetCount(uint32_t* count) override {
    *count = static_cast<uint32_t>(members_.size());
    return Result("GetCount");
  }
  AudioResult Item(uint32_t index, std::shared_ptr<platform::IMMDevice>* device) override {
    *device = audio_.Device(members_.at(index));
    return Result("Item");
  }
  AudioResult GetId(std::string* id) override {
    *id = audio_.endpoints[index_].id;
    return Result("GetId");
  }
  AudioResult OpenPropertyStore(std::shared_ptr<platform::IPropertyStore>* store) override {
    *store = std::make_shared<FakeObject>(audio_, index_);
    return Result("OpenPropertyStore");
  }
  AudioResult ActivateAudioMeter(
      std::shared_ptr<platform::IAudioMeterInformation>* meter) override {
    ++audio_.meterActivations;
    *meter = std::make_shared<FakeObject>(audio_, index_);
    return Result("Activate");
  }
  AudioResult GetFriendlyName(platform::PropertyVariant* value) override {
    *value = {audio_.endpoints[index_].nameType, audio_.endpoints[index_].friendlyName};
    return Result("GetValue");
  }
  AudioResult GetPeakValue(float* peak) override {
    *peak = audio_.endpoints[index_].level();
    return Result("GetPeakValue");
  }

 private:
  AudioResult Result(const std::string& call) const {
    const auto failure = audio_.failures.find(call);
    return failure == audio_.failures.end() ? 0 : failure->second;
  }

  FakeAudio& audio_;
  size_t index_;
  std::vector<size_t> members_;
};

}  // namespace

std::shared_ptr<platform::IMMDeviceEnumerator> FakeAudio::Enumerator() {
  return std::make_shared<FakeObject>(*this, 0);
}

std::shared_ptr<platform::IMMDevice> FakeAudio::Device(size_t index) {
  return std::make_shared<FakeObject>(*this, index);
}

}  // namespace testsupport
