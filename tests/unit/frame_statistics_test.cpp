#include "validator/frame_statistics.h"

#include <gtest/gtest.h>

#include <limits>

namespace QasValidator {
namespace {

TEST(RunningStatistic, TracksMinimumMaximumMeanAndCount) {
  RunningStatistic statistic;
  EXPECT_EQ(statistic.minimum, std::numeric_limits<double>::max());
  EXPECT_EQ(statistic.maximum, -std::numeric_limits<double>::max());
  EXPECT_EQ(statistic.mean, 0.0);
  for (double sample : {90.0, 87.0, 93.0, 86.0}) statistic.Add(sample);
  EXPECT_EQ(statistic.minimum, 86.0);
  EXPECT_EQ(statistic.maximum, 93.0);
  EXPECT_DOUBLE_EQ(statistic.mean, 89.0);
  EXPECT_EQ(statistic.count, 4u);
}

TEST(FrameStatistics, FullHistoryIs90FramesPerSecond) {
  FrameStatistics frames;
  EXPECT_EQ(frames.CurrentFrameRate(), 90.0);
  for (int i = 0; i < 32; ++i) frames.OnCompositorFrame();
  EXPECT_EQ(frames.CurrentFrameRate(), 90.0);
  EXPECT_EQ(frames.fpsStatistic.mean, 90.0);
  EXPECT_EQ(frames.fpsStatistic.count, 32u);
}

TEST(FrameStatistics, LostFrameClearsOneBitUntilItIsShiftedOut) {
  FrameStatistics frames;
  frames.OnLostFrame();
  frames.OnLostFrame();  // one compositor frame loses one bit, however often reported
  frames.OnCompositorFrame();
  EXPECT_EQ(frames.frameHistory, 0xFFFFFFFEu);
  EXPECT_FALSE(frames.frameLostSinceTick);
  EXPECT_EQ(frames.CurrentFrameRate(), 87.1875);
  for (int i = 0; i < 31; ++i) frames.OnCompositorFrame();
  EXPECT_EQ(frames.CurrentFrameRate(), 87.1875);
  frames.OnCompositorFrame();  // the lost frame leaves the window
  EXPECT_EQ(frames.CurrentFrameRate(), 90.0);
  EXPECT_DOUBLE_EQ(frames.fpsStatistic.mean, (32 * 87.1875 + 90.0) / 33);
  EXPECT_EQ(frames.fpsStatistic.minimum, 87.1875);
}

TEST(FrameStatistics, ResetStartsANewMeasurement) {
  FrameStatistics frames;
  frames.OnLostFrame();
  frames.OnCompositorFrame();
  frames.OnLostFrame();
  frames.Reset();
  EXPECT_EQ(frames.frameHistory, 0xFFFFFFFFu);
  EXPECT_FALSE(frames.frameLostSinceTick);
  EXPECT_EQ(frames.fpsStatistic.count, 0u);
  EXPECT_EQ(frames.fpsStatistic.mean, 0.0);
  EXPECT_EQ(frames.fpsStatistic.minimum, std::numeric_limits<double>::max());
}

}  // namespace
}  // namespace QasValidator
