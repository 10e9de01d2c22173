#pragma once

#include <cstdint>
#include <limits>

namespace QasValidator {

/// Minimum, maximum, mean and count of a series of samples, updated one sample at a time.
struct RunningStatistic {
  double minimum = std::numeric_limits<double>::max();
  double maximum = -std::numeric_limits<double>::max();
  double mean = 0.0;
  uint64_t count = 0;

  void Add(double sample);
};

/// The compositor's frame history, from which the application's frame rate is measured: one
/// bit per compositor frame of the 90 Hz display, newest in bit 0, set when the application
/// delivered a frame for it.
struct FrameStatistics {
  /// Frame rate of one delivered frame in 32 compositor frames (90 / 32).
  static constexpr double kFpsPerDeliveredFrame = 2.8125;

  uint32_t frameHistory = 0xFFFFFFFF;
  /// An application frame was lost since the last compositor frame.
  bool frameLostSinceTick = false;
  /// One sample per compositor frame: the frame rate over the last 32 compositor frames.
  RunningStatistic fpsStatistic;

  /// An application frame was lost.
  void OnLostFrame() { frameLostSinceTick = true; }
  /// A compositor frame ended: records whether the application delivered for it and adds the
  /// current frame rate as a sample.
  void OnCompositorFrame();
  /// Frames delivered among the last 32 compositor frames, scaled to 90 Hz.
  double CurrentFrameRate() const;
  /// Starts a new measurement: full history, no lost frame, no samples.
  void Reset() { *this = FrameStatistics{}; }
};

}  // namespace QasValidator
