#pragma once

#include <pulse/pulseaudio.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sampleapp {

/// Plays a steady 440 Hz tone at a quarter of full scale on devices of the machine's audio
/// server (libpulse, on a threaded main loop), from the moment asked until the player goes.
/// Problems are reported on standard error and leave the application without sound.
class TonePlayer {
 public:
  /// Connects to the audio server that libpulse's configuration names, never starting one.
  TonePlayer();
  ~TonePlayer();
  TonePlayer(const TonePlayer&) = delete;
  TonePlayer& operator=(const TonePlayer&) = delete;

  /// The name of the first device whose description contains `text`; nothing when there is
  /// none (reported).
  std::optional<std::string> FindDevice(const std::string& text);
  /// Plays the tone on `device` (a sink's name; empty for the server's default device) once
  /// `delay` has passed.
  void Play(const std::string& device, std::chrono::milliseconds delay);

 private:
  /// A tone to be played: where, and its stream once it plays.
  struct Tone {
    TonePlayer* player;
    std::string device;
    pa_time_event* start = nullptr;
    pa_stream* stream = nullptr;
    double phase = 0.0;
  };

  static void StartTone(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* tone);
  static void WriteTone(pa_stream* stream, size_t length, void* tone);
  static void ReportFailure(pa_stream* stream, void* tone);
  void Wake();
  /// Whether the server answered and is still there.
  bool Connected();

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;             // null when there is no server
  std::vector<std::unique_ptr<Tone>> tones_;  // used under the loop's lock
};

}  // namespace sampleapp
