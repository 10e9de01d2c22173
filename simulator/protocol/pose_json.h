#pragma once

#include <json/value.h>

#include "lux/lux_capi.h"

namespace luxsim {

/// A pose in a message: seven numbers, the orientation's x, y, z and w, then the position's
/// x, y and z. Missing numbers read as 0.
Json::Value PoseToJson(const luxPosef& pose);
luxPosef PoseFromJson(const Json::Value& values);

}  // namespace luxsim
