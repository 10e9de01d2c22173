#include "protocol/simulated_headset.h"

#include <gtest/gtest.h>

#include "protocol/pose_json.h"

namespace luxsim {
namespace {

TEST(SimulatedHeadset, EyesSitHalfTheInterAxialDistanceFromTheCentre) {
  const luxPosef left = EyeOffsetPose(luxEye_Left, 0.064f);
  const luxPosef right = EyeOffsetPose(luxEye_Right, 0.064f);
  EXPECT_FLOAT_EQ(left.Position.x, -0.032f);
  EXPECT_FLOAT_EQ(right.Position.x, 0.032f);
  EXPECT_FLOAT_EQ(left.Orientation.w, 1.0f);
  EXPECT_FLOAT_EQ(right.Position.y, 0.0f);
}

TEST(SimulatedHeadset, DescriptionMatchesTheFiguresOfTheHeadset) {
  const luxHmdDesc desc = HeadsetDescription();
  EXPECT_EQ(desc.Type, luxHmd_Tarn);
  EXPECT_STREQ(desc.Manufacturer, "Corvia VR, LLC");
  EXPECT_EQ(desc.Resolution.w, 2 * kEyeResolutionWidth);
  EXPECT_FLOAT_EQ(desc.DisplayRefreshRate, 90.0f);
  // The eyes' fields of view mirror each other.
  EXPECT_FLOAT_EQ(desc.DefaultEyeFov[luxEye_Left].LeftTan,
                  desc.DefaultEyeFov[luxEye_Right].RightTan);
}

TEST(PoseJson, SevenNumbersOrientationFirst) {
  luxPosef pose{};
  pose.Orientation = {0.1f, 0.2f, 0.3f, 0.9f};
  pose.Position = {1.0f, 2.0f, 3.0f};
  const Json::Value values = PoseToJson(pose);
  ASSERT_EQ(values.size(), 7u);
  EXPECT_FLOAT_EQ(values[3].asFloat(), 0.9f);
  EXPECT_FLOAT_EQ(values[4].asFloat(), 1.0f);
  const luxPosef back = PoseFromJson(values);
  EXPECT_FLOAT_EQ(back.Orientation.y, 0.2f);
  EXPECT_FLOAT_EQ(back.Position.z, 3.0f);
}

TEST(PoseJson, MissingNumbersReadAsZero) {
  Json::Value shortList(Json::arrayValue);
  shortList.append(0.5);
  const luxPosef pose = PoseFromJson(shortList);
  EXPECT_FLOAT_EQ(pose.Orientation.x, 0.5f);
  EXPECT_FLOAT_EQ(pose.Position.z, 0.0f);
  EXPECT_FLOAT_EQ(PoseFromJson(Json::Value("text")).Orientation.w, 0.0f);
}

}  // namespace
}  // namespace luxsim
