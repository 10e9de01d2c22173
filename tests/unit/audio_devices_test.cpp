#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "support/fake_audio.h"
#include "utils/audio_devices.h"

// The audio devices as values over fake endpoints: found by name, ordered and counted by id,
// metered once, and every failure raised with its message and code.

namespace QasUtils {
namespace {

using testsupport::FakeAudio;

/// The text of the error that `call` raises; empty when it raises none.
std::string Raised(const std::function<void()>& call) {
  try {
    call();
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return {};
}

/// Speakers (the default), headphones that are unplugged, and the headset's device.
FakeAudio ThreeEndpoints() {
  FakeAudio audio;
  audio.endpoints = {
      {.id = "{0.0.0.00000000}.{b-speakers}", .friendlyName = "Speakers (Realtek Audio)"},
      {.id = "{0.0.0.00000000}.{c-phones}",
       .friendlyName = "Headphones (Tarn Audio) old",
       .state = platform::kDeviceStateUnplugged},
      {.id = "{0.0.0.00000000}.{a-tarn}", .friendlyName = "Headphones (Tarn Audio)"},
  };
  return audio;
}

// The headset's device found by its name, the default device and their meters on a machine with
// the headset's device or without: AudioOutputE2E.
TEST(AudioDevices, OnlyAnActiveDeviceIsFoundItsIdKeepsItOnceAndItsMeterIsAttachedOnce) {
  FakeAudio audio = ThreeEndpoints();
  float level = 0.0f;
  audio.endpoints[0].level = [&level] { return level; };
  const MMDeviceEnumerator enumerator(audio.Enumerator());
  for (const char* text : {"tarn audio", "Headphones (Tarn Audio) old"}) {
    EXPECT_TRUE(enumerator.FindDeviceByName(text).IsEmpty()) << text;
  }
  // The default device and the same device found by name are one member.
  MMDevice speakers = enumerator.GetDefaultEndpoint();
  const MMDevice headset = enumerator.FindDeviceByName("Tarn Audio");
  const MMDeviceSet played = {speakers, enumerator.FindDeviceByName("Realtek"), headset};
  ASSERT_EQ(played.size(), 2u);
  EXPECT_EQ(played.begin()->GetDeviceId(), "{0.0.0.00000000}.{a-tarn}");  // "{...a" before "{...b"
  EXPECT_TRUE(MMDevice() < speakers);  // the empty id, a prefix of every other, comes first

  EXPECT_EQ(speakers.GetPeakValue(), 0.0f);
  level = 0.5f;
  MMDevice copy = speakers;
  EXPECT_EQ(speakers.GetPeakValue(), 0.5f);
  EXPECT_EQ(copy.GetPeakValue(), 0.5f);
  EXPECT_EQ(audio.meterActivations, 1);
  EXPECT_THROW(MMDevice().GetPeakValue(), std::runtime_error);
}

TEST(AudioDevices, EveryFailureIsRaisedWithItsMessageAndCode) {
  const struct {
    const char* call;
    platform::AudioResult result;
    const char* message;
  } cases[] = {
      {"EnumAudioEndpoints", -2147467259, "Failed to get device collection -2147467259"},
      {"GetCount", -2147467259, "Failed to get device count -2147467259"},
      {"Item", -2147024809, "Failed to get device 0 of 2 due to -2147024809"},
      {"OpenPropertyStore", -2147024891, "Failed to open property store -2147024891"},
      {"GetValue", -2147024891, "Failed to get property value -2147024891"},
      {"GetDefaultAudioEndpoint", -2147023728, "Failed to get default endpoint -2147023728"},
      {"GetId", -2147024882, "Failed to get device Id -2147024882"},
      {"Activate", -2004287484, "Failed to get audio meter information -2004287484"},
      {"GetPeakValue", -2004287484, "Can't get peak value -2004287484"},
  };
  for (const auto& failing : cases) {
    FakeAudio audio = ThreeEndpoints();
    audio.failures[failing.call] = failing.result;
    const MMDeviceEnumerator enumerator(audio.Enumerator());
    EXPECT_EQ(Raised([&] {
                enumerator.FindDeviceByName("Tarn Audio");
                enumerator.GetDefaultEndpoint().GetDeviceId();
                MMDevice(audio.Device(0)).GetPeakValue();
              }),
              failing.message);
  }
  FakeAudio audio = ThreeEndpoints();
  audio.endpoints[0].nameType = 8;  // VT_BSTR
  EXPECT_EQ(Raised([&] { MMDeviceEnumerator(audio.Enumerator()).FindDeviceByName("Tarn"); }),
            "Unexpected variant type 8");
}

}  // namespace
}  // namespace QasUtils
