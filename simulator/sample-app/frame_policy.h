#pragma once

#include <chrono>
#include <optional>

#include "behaviour.h"

namespace sampleapp {

using Clock = std::chrono::steady_clock;

/// The frame loop's decisions that the behaviour changes, kept apart from the runtime: whether
/// a frame commits the swap chain, clears the recenter flag, fetches the render descriptions
/// and is submitted at all. Each call takes the frame's time, so that tests drive it without a
/// clock.
class FramePolicy {
 public:
  explicit FramePolicy(const Behaviour& behaviour) : behaviour_(behaviour) {}

  /// Whether the frame at `now` commits the swap chain, given the session's visible and
  /// overlay-present flags. A well-behaved application commits while it is shown: while
  /// visible, and behind the dash when it is focus aware.
  bool CommitsSwapChain(Clock::time_point now, bool visible, bool overlayPresent);
  /// Whether the frame at `now` clears the recenter flag, which the runtime shows `raised`.
  bool ClearsRecenterFlag(Clock::time_point now, bool raised);
  /// Whether the frame at `now` fetches the render descriptions of the eyes.
  bool FetchesRenderDescriptions(Clock::time_point now);
  /// Whether a frame is submitted at all, given the session's display-lost flag. A
  /// well-behaved application submits nothing while its display is lost.
  bool SubmitsFrame(bool displayLost);
  /// The number (from 1) of the runtime error that the frame at `now` causes, 0 for none: one
  /// every 500 ms from 500 ms after the first frame on, until all asked for are caused.
  int CausesRuntimeError(Clock::time_point now);
  /// Whether the frame at `now` reads the properties asked for: the first frame does, then one
  /// frame a second.
  bool ReadsProperties(Clock::time_point now);

 private:
  const Behaviour& behaviour_;
  /// Start of the current stretch of time in which the application is not shown.
  std::optional<Clock::time_point> hiddenSince_;
  bool strayCommitDone_ = false;  // in the current stretch
  /// When the raised recenter flag was first seen.
  std::optional<Clock::time_point> recenterSeen_;
  std::optional<Clock::time_point> lastFetch_;
  bool displayLostSeen_ = false;
  std::optional<Clock::time_point> nextError_;
  int errorsCaused_ = 0;
  std::optional<Clock::time_point> nextRead_;
};

}  // namespace sampleapp
