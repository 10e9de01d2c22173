#include "protocol/pose_json.h"

namespace luxsim {

Json::Value PoseToJson(const luxPosef& pose) {
  Json::Value values(Json::arrayValue);
  for (const float value :
       {pose.Orientation.x, pose.Orientation.y, pose.Orientation.z, pose.Orientation.w,
        pose.Position.x, pose.Position.y, pose.Position.z}) {
    values.append(value);
  }
  return values;
}

luxPosef PoseFromJson(const Json::Value& values) {
  float numbers[7] = {};
  for (Json::ArrayIndex i = 0; i < 7 && values.isArray() && i < values.size(); ++i) {
    numbers[i] = values[i].asFloat();
  }
  luxPosef pose{};
  pose.Orientation = {numbers[0], numbers[1], numbers[2], numbers[3]};
  pose.Position = {numbers[4], numbers[5], numbers[6]};
  return pose;
}

}  // namespace luxsim
