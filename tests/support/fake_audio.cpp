#include "support/fake_audio.h"

namespace testsupport {

namespace {

class Meter final : public platform::IAudioMeterInformation {
 public:
  Meter(FakeAudio& audio, size_t index) : audio_(audio), index_(index) {}
  platform::AudioResult GetPeakValue(float* peak) override {
    *peak = audio_.endpoints[index_].level();
    return audio_.Failure("GetPeakValue");
  }

 private:
  FakeAudio& audio_;
  size_t index_;
};

class Properties final : public platform::IPropertyStore {
 public:
  Properties(FakeAudio& audio, size_t index) : audio_(audio), index_(index) {}
  platform::AudioResult GetFriendlyName(platform::PropertyVariant* value) override {
    *value = {audio_.endpoints[index_].nameType, audio_.endpoints[index_].friendlyName};
    return audio_.Failure("GetValue");
  }

 private:
  FakeAudio& audio_;
  size_t index_;
};

class FakeDevice final : public platform::IMMDevice {
 public:
  FakeDevice(FakeAudio& audio, size_t index) : audio_(audio), index_(index) {}
  platform::AudioResult GetId(std::string* id) override {
    *id = audio_.endpoints[index_].id;
    return audio_.Failure("GetId");
  }
  platform::AudioResult OpenPropertyStore(
      std::shared_ptr<platform::IPropertyStore>* store) override {
    *store = std::make_shared<Properties>(audio_, index_);
    return audio_.Failure("OpenPropertyStore");
  }
  platform::AudioResult ActivateAudioMeter(
      std::shared_ptr<platform::IAudioMeterInformation>* meter) override {
    ++audio_.meterActivations;
    *meter = std::make_shared<Meter>(audio_, index_);
    return audio_.Failure("Activate");
  }

 private:
  FakeAudio& audio_;
  size_t index_;
};

class Collection final : public platform::IMMDeviceCollection {
 public:
  Collection(FakeAudio& audio, std::vector<size_t> indices)
      : audio_(audio), indices_(std::move(indices)) {}
  platform::AudioResult GetCount(uint32_t* count) override {
    *count = static_cast<uint32_t>(indices_.size());
    return audio_.Failure("GetCount");
  }
  platform::AudioResult Item(uint32_t index,
                             std::shared_ptr<platform::IMMDevice>* device) override {
    *device = audio_.Device(indices_.at(index));
    return audio_.Failure("Item");
  }

 private:
  FakeAudio& audio_;
  std::vector<size_t> indices_;
};

class FakeEnumerator final : public platform::IMMDeviceEnumerator {
 public:
  explicit FakeEnumerator(FakeAudio& audio) : audio_(audio) {}
  platform::AudioResult EnumAudioEndpoints(
      uint32_t stateMask, std::shared_ptr<platform::IMMDeviceCollection>* devices) override {
    std::vector<size_t> indices;
    for (size_t i = 0; i < audio_.endpoints.size(); ++i) {
      if ((audio_.endpoints[i].state & stateMask) != 0) indices.push_back(i);
    }
    *devices = std::make_shared<Collection>(audio_, std::move(indices));
    return audio_.Failure("EnumAudioEndpoints");
  }
  platform::AudioResult GetDefaultAudioEndpoint(
      std::shared_ptr<platform::IMMDevice>* device) override {
    *device = audio_.Device(audio_.defaultEndpoint);
    return audio_.Failure("GetDefaultAudioEndpoint");
  }

 private:
  FakeAudio& audio_;
};

}  // namespace

std::shared_ptr<platform::IMMDeviceEnumerator> FakeAudio::Enumerator() {
  return std::make_shared<FakeEnumerator>(*this);
}

std::shared_ptr<platform::IMMDevice> FakeAudio::Device(size_t index) {
  return std::make_shared<FakeDevice>(*this, index);
}

platform::AudioResult FakeAudio::Failure(const std::string& name) const {
  const auto failure = failures.find(name);
  return failure == failures.end() ? 0 : failure->second;
}

}  // namespace testsupport
