#include "tone_player.h"

#include <cmath>
#include <iostream>
#include <numbers>

namespace sampleapp {

namespace {

constexpr uint32_t kRate = 44100;
constexpr double kFrequency = 440.0;
constexpr double kAmplitude = 0.25 * 32767.0;
/// The stream's buffer: short enough that the tone starts and stops at once.
constexpr pa_usec_t kBufferUsec = 50000;

void Report(const std::string& text) { std::cerr << "corvia-sample-app: " << text << std::endl; }

void ReportNoSound(const std::string& device, pa_context* context) {
  Report("no sound on " + (device.empty() ? std::string("the default device") : device) + ": " +
         pa_strerror(pa_context_errno(context)));
}

/// Holds the loop's lock for its lifetime.
class LoopLock {
 public:
  explicit LoopLock(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
  ~LoopLock() { pa_threaded_mainloop_unlock(loop_); }
  LoopLock(const LoopLock&) = delete;
  LoopLock& operator=(const LoopLock&) = delete;

 private:
  pa_threaded_mainloop* loop_;
};

}  // namespace

TonePlayer::TonePlayer() : loop_(pa_threaded_mainloop_new()) {
  if (loop_ == nullptr) return;
  context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "corvia-sample-app");
  if (context_ == nullptr) return;
  pa_context_set_state_callback(
      context_, [](pa_context*, void* self) { static_cast<TonePlayer*>(self)->Wake(); }, this);
  LoopLock lock(loop_);
  if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
      pa_threaded_mainloop_start(loop_) < 0) {
    Report("no sound: cannot connect to the audio server");
    return;
  }
  pa_context_state_t state;
  while ((state = pa_context_get_state(context_)) != PA_CONTEXT_READY &&
         PA_CONTEXT_IS_GOOD(state)) {
    pa_threaded_mainloop_wait(loop_);
  }
  if (state != PA_CONTEXT_READY) {
    Report(std::string("no sound: ") + pa_strerror(pa_context_errno(context_)));
  }
}

TonePlayer::~TonePlayer() {
  if (loop_ == nullptr) return;
  pa_threaded_mainloop_stop(loop_);
  for (const std::unique_ptr<Tone>& tone : tones_) {
    if (tone->start != nullptr) pa_threaded_mainloop_get_api(loop_)->time_free(tone->start);
    if (tone->stream != nullptr) {
      pa_stream_disconnect(tone->stream);
      pa_stream_unref(tone->stream);
    }
  }
  if (context_ != nullptr) {
    pa_context_disconnect(context_);
    pa_context_unref(context_);
  }
  pa_threaded_mainloop_free(loop_);
}

std::optional<std::string> TonePlayer::FindDevice(const std::string& text) {
  struct Search {
    TonePlayer* player;
    const std::string& text;
    std::optional<std::string> found;
  } search{this, text, std::nullopt};
  if (Connected()) {
    LoopLock lock(loop_);
    pa_operation* listing = pa_context_get_sink_info_list(
        context_,
        [](pa_context*, const pa_sink_info* sink, int, void* data) {
          auto* search = static_cast<Search*>(data);
          if (sink != nullptr && !search->found && sink->description != nullptr &&
              std::string(sink->description).find(search->text) != std::string::npos) {
            search->found = sink->name;
          }
          search->player->Wake();
        },
        &search);
    while (listing != nullptr && pa_operation_get_state(listing) == PA_OPERATION_RUNNING) {
      pa_threaded_mainloop_wait(loop_);
    }
    if (listing != nullptr) pa_operation_unref(listing);
  }
  if (!search.found) Report("no sound: no audio device is named like \"" + text + "\"");
  return search.found;
}

void TonePlayer::Play(const std::string& device, std::chrono::milliseconds delay) {
  if (!Connected()) return;
  LoopLock lock(loop_);
  auto tone = std::make_unique<Tone>(Tone{this, device});
  timeval due{};
  pa_timeval_add(pa_gettimeofday(&due), std::chrono::microseconds(delay).count());
  tone->start = pa_threaded_mainloop_get_api(loop_)->time_new(
      pa_threaded_mainloop_get_api(loop_), &due, &TonePlayer::StartTone, tone.get());
  tones_.push_back(std::move(tone));
}

void TonePlayer::StartTone(pa_mainloop_api* api, pa_time_event* event, const struct timeval*,
                           void* data) {
  auto* tone = static_cast<Tone*>(data);
  api->time_free(event);
  tone->start = nullptr;
  const pa_sample_spec sampleSpec{PA_SAMPLE_S16NE, kRate, 1};
  tone->stream = pa_stream_new(tone->player->context_, "Tone", &sampleSpec, nullptr);
  if (tone->stream == nullptr) return;
  pa_stream_set_write_callback(tone->stream, &TonePlayer::WriteTone, tone);
  pa_stream_set_state_callback(tone->stream, &TonePlayer::ReportFailure, tone);
  pa_buffer_attr buffer{};
  buffer.maxlength = buffer.prebuf = buffer.minreq = static_cast<uint32_t>(-1);
  buffer.tlength = static_cast<uint32_t>(pa_usec_to_bytes(kBufferUsec, &sampleSpec));
  if (pa_stream_connect_playback(tone->stream,
                                 tone->device.empty() ? nullptr : tone->device.c_str(), &buffer,
                                 PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) < 0) {
    ReportNoSound(tone->device, tone->player->context_);
  }
}

void TonePlayer::ReportFailure(pa_stream* stream, void* data) {
  const auto* tone = static_cast<Tone*>(data);
  if (pa_stream_get_state(stream) == PA_STREAM_FAILED) {
    ReportNoSound(tone->device, tone->player->context_);
  }
}

void TonePlayer::WriteTone(pa_stream* stream, size_t length, void* data) {
  auto* tone = static_cast<Tone*>(data);
  std::vector<int16_t> samples(length / sizeof(int16_t));
  const double step = 2.0 * std::numbers::pi * kFrequency / kRate;
  for (int16_t& sample : samples) {
    sample = static_cast<int16_t>(kAmplitude * std::sin(tone->phase));
    tone->phase = std::fmod(tone->phase + step, 2.0 * std::numbers::pi);
  }
  pa_stream_write(stream, samples.data(), samples.size() * sizeof(int16_t), nullptr, 0,
                  PA_SEEK_RELATIVE);
}

void TonePlayer::Wake() { pa_threaded_mainloop_signal(loop_, 0); }

bool TonePlayer::Connected() {
  if (context_ == nullptr) return false;
  LoopLock lock(loop_);
  return pa_context_get_state(context_) == PA_CONTEXT_READY;
}

}  // namespace sampleapp
