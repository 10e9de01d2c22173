#include "protocol/simulated_headset.h"

#include <cstring>
#include <initializer_list>

namespace luxsim {

luxFovPort DefaultEyeFov(luxEyeType eye) {
  // The lenses are canted outwards a little: more view to the outer side of each eye.
  const float outer = 1.06f;
  const float inner = 0.93f;
  luxFovPort fov{};
  fov.UpTan = 1.33f;
  fov.DownTan = 1.33f;
  fov.LeftTan = eye == luxEye_Left ? outer : inner;
  fov.RightTan = eye == luxEye_Left ? inner : outer;
  return fov;
}

luxHmdDesc HeadsetDescription() {
  luxHmdDesc desc{};
  desc.Type = luxHmd_Tarn;
  std::strcpy(desc.ProductName, "Corvia Tarn");
  std::strcpy(desc.Manufacturer, "Corvia VR, LLC");
  desc.VendorId = 0x2f4a;
  desc.ProductId = 0x0101;
  std::strcpy(desc.SerialNumber, "SIM0000000001");
  desc.FirmwareMajor = 1;
  desc.FirmwareMinor = 43;
  desc.AvailableTrackingCaps = luxStatus_OrientationTracked | luxStatus_PositionTracked;
  desc.DefaultTrackingCaps = desc.AvailableTrackingCaps;
  for (const luxEyeType eye : {luxEye_Left, luxEye_Right}) {
    desc.DefaultEyeFov[eye] = DefaultEyeFov(eye);
    desc.MaxEyeFov[eye] = DefaultEyeFov(eye);
  }
  desc.Resolution = {2 * kEyeResolutionWidth, kEyeResolutionHeight};
  desc.DisplayRefreshRate = kDisplayRefreshRate;
  return desc;
}

luxPosef EyeOffsetPose(luxEyeType eye, float interAxialDistance) {
  luxPosef pose{};
  pose.Orientation.w = 1.0f;
  pose.Position.x = (eye == luxEye_Left ? -0.5f : 0.5f) * interAxialDistance;
  return pose;
}

}  // namespace luxsim
