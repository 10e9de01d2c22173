// How soon the validator's peak meter hears sound, and what one reading costs, on the machine's
// default audio output: ten meters attached anew while a tone plays (the delay from attaching
// until GetPeakValue first reads above 0.01); then one meter, attached and left to settle, while
// a 50 ms tone starts 50 times (the delay from handing the tone to the audio server until the
// meter reads above 0.01); then the cost of one GetPeakValue call over a million calls. Run it on a
// simulated machine, whose private audio server it uses: scripts/with-simulator --no-service
// build/default/bench/audio_meter_bench

#include <pulse/error.h>
#include <pulse/simple.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "utils/audio_devices.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kStarts = 50;
constexpr int kAttaches = 10;
/// How long a new meter, and an attached one, may take to hear the tone.
constexpr Clock::duration kNewMeterLimit = 5s;
constexpr Clock::duration kToneLimit = 1s;
constexpr int kReadings = 1000000;
constexpr uint32_t kRate = 44100;
constexpr float kThreshold = 0.01f;

/// A 440 Hz tone of `length` at half of full scale, 16-bit mono.
std::vector<int16_t> Tone(std::chrono::milliseconds length) {
  std::vector<int16_t> samples(kRate * length.count() / 1000);
  for (size_t i = 0; i < samples.size(); ++i) {
    const double phase = 2.0 * std::numbers::pi * 440.0 * static_cast<double>(i) / kRate;
    samples[i] = static_cast<int16_t>(16384.0 * std::sin(phase));
  }
  return samples;
}

/// A playback stream on `sink` with a buffer of 100 ms, so that writing a short tone does not
/// block, that starts playing once 5 ms are buffered.
std::unique_ptr<pa_simple, void (*)(pa_simple*)> OpenPlayback(const std::string& sink) {
  const pa_sample_spec sampleSpec{PA_SAMPLE_S16NE, kRate, 1};
  pa_buffer_attr buffer{};
  buffer.maxlength = static_cast<uint32_t>(-1);
  buffer.tlength = static_cast<uint32_t>(pa_usec_to_bytes(100000, &sampleSpec));
  buffer.prebuf = static_cast<uint32_t>(pa_usec_to_bytes(5000, &sampleSpec));
  buffer.minreq = static_cast<uint32_t>(-1);
  int error = 0;
  pa_simple* stream = pa_simple_new(nullptr, "audio_meter_bench", PA_STREAM_PLAYBACK, sink.c_str(),
                                    "tone", &sampleSpec, nullptr, &buffer, &error);
  if (stream == nullptr)
    throw std::runtime_error(std::string("no playback: ") + pa_strerror(error));
  return {stream, &pa_simple_free};
}

/// Waits until `device` has been silent for 100 ms.
void WaitForSilence(QasUtils::MMDevice& device) {
  Clock::time_point quietSince = Clock::now();
  while (Clock::now() - quietSince < 100ms) {
    if (device.GetPeakValue() > kThreshold) quietSince = Clock::now();
  }
}

double Quantile(std::vector<double> values, double q) {
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(q * static_cast<double>(values.size() - 1))];
}

/// The delay until `device` first reads above the threshold, or nothing after `limit`.
std::optional<double> DelayUntilHeard(QasUtils::MMDevice& device, Clock::time_point from,
                                      Clock::duration limit) {
  while (device.GetPeakValue() <= kThreshold) {
    if (Clock::now() - from >= limit) return std::nullopt;
  }
  return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

/// Meters attached anew to `sink` while a tone plays on it: how soon each hears it (ms).
std::vector<double> NewMeterDelays(const QasUtils::MMDeviceEnumerator& enumerator,
                                   const std::string& sink) {
  std::atomic<bool> playing{true};
  std::thread player([&playing, sink] {
    auto playback = OpenPlayback(sink);
    const std::vector<int16_t> tone = Tone(20ms);
    while (playing) pa_simple_write(playback.get(), tone.data(), tone.size() * 2, nullptr);
  });
  std::this_thread::sleep_for(500ms);
  std::vector<double> delays;
  for (int attach = 0; attach < kAttaches; ++attach) {
    QasUtils::MMDevice device = enumerator.GetDefaultEndpoint();  // a device without a meter
    if (const auto delay = DelayUntilHeard(device, Clock::now(), kNewMeterLimit)) {
      delays.push_back(*delay);
    }
  }
  playing = false;
  player.join();
  return delays;
}

void Print(const char* what, const std::vector<double>& delaysMs, int tries,
           Clock::duration limit) {
  if (delaysMs.empty()) throw std::runtime_error("the meter never heard the tone");
  std::printf(
      "%s: median %.1f ms, p99 %.1f ms, max %.1f ms (%zu of %d heard within %lld s)\n", what,
      Quantile(delaysMs, 0.5), Quantile(delaysMs, 0.99), Quantile(delaysMs, 1.0), delaysMs.size(),
      tries,
      static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(limit).count()));
}

}  // namespace

int main() {
  try {
    const QasUtils::MMDeviceEnumerator enumerator;
    QasUtils::MMDevice device = enumerator.GetDefaultEndpoint();
    const std::string sink = device.GetDeviceId();
    Print("a new meter hears a playing tone after", NewMeterDelays(enumerator, sink), kAttaches,
          kNewMeterLimit);

    device.GetPeakValue();  // attaches the meter, which then settles, as the test's meters do
    WaitForSilence(device);
    std::this_thread::sleep_for(3s);
    auto playback = OpenPlayback(sink);
    const std::vector<int16_t> tone = Tone(50ms);
    std::vector<double> delaysMs;
    for (int start = 0; start < kStarts; ++start) {
      WaitForSilence(device);
      const Clock::time_point begun = Clock::now();
      int error = 0;
      if (pa_simple_write(playback.get(), tone.data(), tone.size() * sizeof(int16_t), &error) < 0) {
        throw std::runtime_error(std::string("cannot play: ") + pa_strerror(error));
      }
      if (const auto delay = DelayUntilHeard(device, begun, kToneLimit)) delaysMs.push_back(*delay);
    }
    Print("an attached meter hears a tone that starts after", delaysMs, kStarts, kToneLimit);

    const Clock::time_point begun = Clock::now();
    for (int i = 0; i < kReadings; ++i) device.GetPeakValue();
    const std::chrono::duration<double, std::nano> spent = Clock::now() - begun;
    std::printf("GetPeakValue: %.1f ns a call (%d calls)\n", spent.count() / kReadings, kReadings);
    return 0;
  } catch (const std::runtime_error& error) {
    std::fprintf(stderr, "audio_meter_bench: %s\n", error.what());
    return 1;
  }
}
