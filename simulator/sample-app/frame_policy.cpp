#include "frame_policy.h"

namespace sampleapp {

bool FramePolicy::CommitsSwapChain(Clock::time_point now, bool visible, bool overlayPresent) {
  const bool drawnBehindDash =
      overlayPresent && behaviour_.focusAware && behaviour_.commitBehindDash;
  if (visible || drawnBehindDash) {
    hiddenSince_.reset();
    return visible ? behaviour_.commitWhenVisible : true;
  }
  if (behaviour_.commitWhenNotVisible) return true;
  if (!hiddenSince_) {
    hiddenSince_ = now;
    strayCommitDone_ = false;
  }
  if (!behaviour_.strayCommitAfter || strayCommitDone_) return false;
  strayCommitDone_ = now - *hiddenSince_ >= *behaviour_.strayCommitAfter;
  return strayCommitDone_;
}

bool FramePolicy::ClearsRecenterFlag(Clock::time_point now, bool raised) {
  if (!raised) {
    recenterSeen_.reset();
    return false;
  }
  if (behaviour_.ignoreRecenter) return false;
  if (!recenterSeen_) recenterSeen_ = now;
  return now - *recenterSeen_ >= behaviour_.recenterDelay;
}

bool FramePolicy::FetchesRenderDescriptions(Clock::time_point now) {
  if (!behaviour_.renderDescriptionsPer10s) return true;
  // Rounded up, so that no 10 s ever holds more fetches than asked for.
  const auto spacing = std::chrono::ceil<Clock::duration>(
      std::chrono::duration<double>(10.0 / *behaviour_.renderDescriptionsPer10s));
  if (lastFetch_ && now - *lastFetch_ < spacing) return false;
  lastFetch_ = now;
  return true;
}

bool FramePolicy::SubmitsFrame(bool displayLost) {
  displayLostSeen_ = displayLostSeen_ || displayLost;
  switch (behaviour_.displayLostResponse) {
    case DisplayLostResponse::kIgnore:
      return true;
    case DisplayLostResponse::kStopForGood:
      return !displayLostSeen_;
    default:
      return !displayLost;
  }
}

}  // namespace sampleapp
