// Exports about sessions, the headset, tracking and properties.

#include <cstring>
#include <string>

#include "lux/lux_capi.h"
#include "protocol/messages.h"
#include "protocol/simulated_headset.h"
#include "runtime_client.h"

using luxsim::InvalidArgument;
using luxsim::RuntimeClient;
using luxsim::ScopeRequest;
using luxsim::SessionRequest;
using luxsim::ValidSession;

namespace {

// Height of the simulated viewer's eyes above the floor, in metres.
constexpr float kStandingEyeHeight = 1.6f;

luxTrackingOrigin TrackingOriginOf(luxSession session) {
  return session != nullptr ? session->trackingOrigin.load() : luxTrackingOrigin_EyeLevel;
}

// Sends property request `op` for `name` of `session` (null: the runtime's own) with `extra`
// fields; the service's answer, or nothing when the request failed.
std::optional<Json::Value> PropertyCall(const char* op, luxSession session, const char* name,
                                        const char* type, Json::Value extra) {
  std::optional<Json::Value> fields = ScopeRequest(session);
  if (!fields || name == nullptr) return std::nullopt;
  Json::Value request = std::move(extra);
  request["session"] = (*fields)["session"];
  request["name"] = name;
  request["type"] = type;
  Json::Value response;
  if (LUX_FAILURE(RuntimeClient::Instance().Call(op, request, &response))) return std::nullopt;
  return response;
}

luxBool SetProperty(luxSession session, const char* name, const char* type, Json::Value value) {
  Json::Value extra(Json::objectValue);
  extra["value"] = std::move(value);
  const std::optional<Json::Value> response =
      PropertyCall(luxsim::op::kSetProperty, session, name, type, extra);
  return response && (*response)["taken"].asBool() ? luxTrue : luxFalse;
}

// The value of property `name`, or null when it has none of that type.
Json::Value GetProperty(luxSession session, const char* name, const char* type) {
  const std::optional<Json::Value> response =
      PropertyCall(luxsim::op::kGetProperty, session, name, type, Json::objectValue);
  if (!response || !(*response)["found"].asBool()) return Json::nullValue;
  return (*response)["value"];
}

luxPoseStatef HeadPoseState(luxSession session, double absTime) {
  luxPoseStatef state{};
  state.ThePose.Orientation.w = 1.0f;
  if (TrackingOriginOf(session) == luxTrackingOrigin_FloorLevel) {
    state.ThePose.Position.y = kStandingEyeHeight;
  }
  state.TimeInSeconds = absTime;
  return state;
}

}  // namespace

luxResult lux_Create(luxSession* outSession, luxGraphicsLuid* outLuid) {
  if (outSession == nullptr || outLuid == nullptr) {
    return InvalidArgument("lux_Create needs outputs");
  }
  *outSession = nullptr;
  Json::Value response;
  const luxResult result =
      RuntimeClient::Instance().Call(luxsim::op::kCreateSession, Json::objectValue, &response);
  if (LUX_FAILURE(result)) return result;
  const uint64_t luid = response["luid"].asUInt64();
  std::memcpy(outLuid->Reserved, &luid, sizeof outLuid->Reserved);
  *outSession = RuntimeClient::Instance().AddSession(response["session"].asUInt64());
  return result;
}

void lux_Destroy(luxSession session) {
  const std::optional<Json::Value> fields = SessionRequest(session);
  if (!fields) return;
  RuntimeClient::Instance().Call(luxsim::op::kDestroySession, *fields);
  RuntimeClient::Instance().RemoveSession(session);
}

luxResult lux_GetSessionStatus(luxSession session, luxSessionStatus* outStatus) {
  const std::optional<Json::Value> fields = SessionRequest(session);
  if (!fields) return luxError_InvalidSession;
  if (outStatus == nullptr) return InvalidArgument("No status to fill");
  Json::Value response;
  const luxResult result =
      RuntimeClient::Instance().Call(luxsim::op::kSessionStatus, *fields, &response);
  if (LUX_FAILURE(result)) return result;
  luxBool* flags[] = {&outStatus->IsVisible,     &outStatus->HmdPresent, &outStatus->HmdMounted,
                      &outStatus->DisplayLost,   &outStatus->ShouldQuit, &outStatus->ShouldRecenter,
                      &outStatus->OverlayPresent};
  for (Json::ArrayIndex i = 0; i < std::size(flags); ++i) {
    *flags[i] = response["status"][i].asBool() ? luxTrue : luxFalse;
  }
  return result;
}

luxHmdDesc lux_GetHmdDesc(luxSession /*session*/) { return luxsim::HeadsetDescription(); }

unsigned int lux_GetTrackerCount(luxSession /*session*/) { return 1; }

luxTrackerDesc lux_GetTrackerDesc(luxSession /*session*/, unsigned int index) {
  luxTrackerDesc desc{};
  if (index == 0) desc = {1.3f, 1.0f, 0.4f, 2.5f};
  return desc;
}

luxTrackerPose lux_GetTrackerPose(luxSession /*session*/, unsigned int index) {
  luxTrackerPose pose{};
  pose.Pose.Orientation.w = 1.0f;
  pose.LeveledPose.Orientation.w = 1.0f;
  if (index == 0) {
    // The one tracker stands in front of the user at eye height, looking at them.
    pose.TrackerFlags = 0x0021;
    pose.Pose.Position = {0.0f, 0.0f, -1.5f};
    pose.LeveledPose.Position = pose.Pose.Position;
  }
  return pose;
}

luxResult lux_IsExtensionSupported(luxSession session, luxExtensions /*extension*/,
                                   luxBool* outSupported) {
  if (!ValidSession(session)) return luxError_InvalidSession;
  if (outSupported == nullptr) {
    return InvalidArgument("No answer to fill");
  }
  *outSupported = luxFalse;
  return luxSuccess;
}

luxResult lux_EnableExtension(luxSession session, luxExtensions /*extension*/) {
  if (!ValidSession(session)) return luxError_InvalidSession;
  return RuntimeClient::Instance().Fail(luxError_Unsupported, "The extension is not supported");
}

luxResult lux_SetTrackingOriginType(luxSession session, luxTrackingOrigin origin) {
  if (!ValidSession(session)) return luxError_InvalidSession;
  session->trackingOrigin.store(origin);
  return luxSuccess;
}

luxTrackingOrigin lux_GetTrackingOriginType(luxSession session) {
  return TrackingOriginOf(session);
}

luxResult lux_RecenterTrackingOrigin(luxSession session) {
  const std::optional<Json::Value> fields = SessionRequest(session);
  if (!fields) return luxError_InvalidSession;
  return RuntimeClient::Instance().Call(luxsim::op::kClearRecenter, *fields);
}

luxResult lux_SpecifyTrackingOrigin(luxSession session, luxPosef /*originPose*/) {
  return lux_RecenterTrackingOrigin(session);
}

void lux_ClearShouldRecenterFlag(luxSession session) { lux_RecenterTrackingOrigin(session); }

luxTrackingState lux_GetTrackingState(luxSession session, double absTime,
                                      luxBool /*latencyMarker*/) {
  luxTrackingState state{};
  state.HeadPose = HeadPoseState(session, absTime);
  state.StatusFlags = luxStatus_OrientationTracked | luxStatus_PositionTracked;
  for (luxPoseStatef& hand : state.HandPoses) hand.ThePose.Orientation.w = 1.0f;
  state.CalibratedOrigin.Orientation.w = 1.0f;
  return state;
}

luxTrackingState lux_GetTrackingStateWithSensorData(luxSession session, double absTime,
                                                    luxBool latencyMarker,
                                                    luxSensorData* outSensorData) {
  if (outSensorData != nullptr) {
    *outSensorData = luxSensorData{};
    outSensorData->Accelerometer.y = 9.81f;
    outSensorData->Temperature = 31.0f;
    outSensorData->TimeInSeconds = static_cast<float>(absTime);
  }
  return lux_GetTrackingState(session, absTime, latencyMarker);
}

luxResult lux_GetDevicePoses(luxSession session, const luxTrackedDeviceType* deviceTypes,
                             int deviceCount, double absTime, luxPoseStatef* outDevicePoses) {
  if (!ValidSession(session)) return luxError_InvalidSession;
  if (deviceCount < 0 ||
      (deviceCount > 0 && (deviceTypes == nullptr || outDevicePoses == nullptr))) {
    return InvalidArgument("Malformed device list");
  }
  for (int i = 0; i < deviceCount; ++i) {
    outDevicePoses[i] =
        deviceTypes[i] == luxTrackedDevice_HMD ? HeadPoseState(session, absTime) : luxPoseStatef{};
    outDevicePoses[i].ThePose.Orientation.w = 1.0f;
  }
  return luxSuccess;
}

luxBool lux_GetBool(luxSession session, const char* propertyName, luxBool defaultValue) {
  const Json::Value value = GetProperty(session, propertyName, luxsim::property_type::kBool);
  return value.isBool() ? (value.asBool() ? luxTrue : luxFalse) : defaultValue;
}

luxBool lux_SetBool(luxSession session, const char* propertyName, luxBool value) {
  return SetProperty(session, propertyName, luxsim::property_type::kBool, value != luxFalse);
}

int lux_GetInt(luxSession session, const char* propertyName, int defaultValue) {
  const Json::Value value = GetProperty(session, propertyName, luxsim::property_type::kInt);
  return value.isInt() ? value.asInt() : defaultValue;
}

luxBool lux_SetInt(luxSession session, const char* propertyName, int value) {
  return SetProperty(session, propertyName, luxsim::property_type::kInt, value);
}

float lux_GetFloat(luxSession session, const char* propertyName, float defaultValue) {
  const Json::Value value = GetProperty(session, propertyName, luxsim::property_type::kFloat);
  return value.isNumeric() ? value.asFloat() : defaultValue;
}

luxBool lux_SetFloat(luxSession session, const char* propertyName, float value) {
  return SetProperty(session, propertyName, luxsim::property_type::kFloat, value);
}

unsigned int lux_GetFloatArray(luxSession session, const char* propertyName, float values[],
                               unsigned int valuesCapacity) {
  const Json::Value stored = GetProperty(session, propertyName, luxsim::property_type::kFloatArray);
  if (!stored.isArray() || values == nullptr) return 0;
  const unsigned int count = std::min<unsigned int>(stored.size(), valuesCapacity);
  for (unsigned int i = 0; i < count; ++i) values[i] = stored[i].asFloat();
  return count;
}

luxBool lux_SetFloatArray(luxSession session, const char* propertyName, const float values[],
                          unsigned int valuesSize) {
  if (values == nullptr && valuesSize > 0) return luxFalse;
  Json::Value array(Json::arrayValue);
  for (unsigned int i = 0; i < valuesSize; ++i) array.append(values[i]);
  return SetProperty(session, propertyName, luxsim::property_type::kFloatArray, array);
}

const char* lux_GetString(luxSession session, const char* propertyName, const char* defaultValue) {
  static thread_local std::string text;
  const Json::Value value = GetProperty(session, propertyName, luxsim::property_type::kString);
  if (!value.isString()) return defaultValue;
  text = value.asString();
  return text.c_str();
}

luxBool lux_SetString(luxSession session, const char* propertyName, const char* value) {
  if (value == nullptr) return luxFalse;
  return SetProperty(session, propertyName, luxsim::property_type::kString, value);
}

luxHmdColorDesc lux_GetHmdColorDesc(luxSession /*session*/) {
  return luxHmdColorDesc{luxColorSpace_Rec_2020};
}

luxResult lux_SetClientColorDesc(luxSession session, const luxHmdColorDesc* colorDesc) {
  if (!ValidSession(session)) return luxError_InvalidSession;
  if (colorDesc == nullptr) {
    return InvalidArgument("No color description");
  }
  return luxSuccess;
}
