#include "frame_policy.h"

namespace sampleapp {

namespace {

using namespace std::chrono_literals;

constexpr Clock::duration kRuntimeErrorSpacing = 500ms;
constexpr Clock::duration kPropertyReadSpacing = 1s;

}  // namespace

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

int FramePolicy::CausesRuntimeError(Clock::time_point now) {
  if (errorsCaused_ >= behaviour_.runtimeErrors) return 0;
  if (!nextError_) nextError_ = now + kRuntimeErrorSpacing;
  if (now < *nextError_) return 0;
  nextError_ = now + kRuntimeErrorSpacing;  // never closer, even after a late frame
  return ++errorsCaused_;
}

bool FramePolicy::ReadsProperties(Clock::time_point now) {
  if (behaviour_.propertiesRead.empty() || (nextRead_ && now < *nextRead_)) return false;
  nextRead_ = now + kPropertyReadSpacing;
  return true;
}

}  // namespace sampleapp
