#include "validator/frame_statistics.h"

#include <gtest/gtest.h>

#include <limits>

namespace QasValidator {
namespace {

TEST(FrameStatistics, ALostFrameClearsOneBitOfTheLast32UntilItIsShiftedOut) {
  FrameStatistics frames;
  EXPECT_EQ(frames.CurrentFrameRate(), 90.0);
  frames.OnLostFrame();
  frames.OnLostFrame();  // one compositor frame loses one bit, however often reported
  frames.OnCompositorFrame();
  EXPECT_EQ(frames.frameHistory, 0xFFFFFFFEu);
  EXPECT_EQ(frames.CurrentFrameRate(), 87.1875);
  for (int i = 0; i < 31; ++i) frames.OnCompositorFrame();
  EXPECT_EQ(frames.CurrentFrameRate(), 87.1875);
  frames.OnCompositorFrame();  // the lost frame leaves the window
  EXPECT_EQ(frames.CurrentFrameRate(), 90.0);
  EXPECT_DOUBLE_EQ(frames.fpsStatistic.mean, (32 * 87.1875 + 90.0) / 33);
  EXPECT_EQ(frames.fpsStatistic.minimum, 87.1875);
  EXPECT_EQ(frames.fpsStatistic.maximum, 90.0);
  EXPECT_EQ(frames.fpsStatistic.count, 33u);

  frames.OnLostFrame();
  frames.Reset();  // a new measurement
  EXPECT_EQ(frames.frameHistory, 0xFFFFFFFFu);
  EXPECT_FALSE(frames.frameLostSinceTick);
  EXPECT_EQ(frames.fpsStatistic.count, 0u);
  EXPECT_EQ(frames.fpsStatistic.mean, 0.0);
  EXPECT_EQ(frames.fpsStatistic.minimum, std::numeric_limits<double>::max());
  EXPECT_EQ(frames.fpsStatistic.maximum, -std::numeric_limits<double>::max());
}

}  // namespace
}  // namespace QasValidator
