#include "validator/frame_statistics.h"

#include <algorithm>
#include <bit>

namespace QasValidator {

void RunningStatistic::Add(double sample) {
  minimum = std::min(minimum, sample);
  maximum = std::max(maximum, sample);
  ++count;
  const double n = static_cast<double>(count);
  mean = mean - mean / n + sample / n;
}

void FrameStatistics::OnCompositorFrame() {
  frameHistory <<= 1;
  if (frameLostSinceTick) {
    frameLostSinceTick = false;
  } else {
    frameHistory |= 1u;
  }
  fpsStatistic.Add(CurrentFrameRate());
}

double FrameStatistics::CurrentFrameRate() const {
  return std::popcount(frameHistory) * kFpsPerDeliveredFrame;
}

}  // namespace QasValidator
