#include "lux_application.h"

namespace e2e {

LuxApplication::LuxApplication(bool focusAware) {
  luxInitParams params{};
  params.Flags = luxInit_RequestVersion;
  if (focusAware) params.Flags |= luxInit_FocusAware;
  params.RequestedMinorVersion = LUX_MINOR_VERSION;
  initialized_ = lux_Initialize(&params) == luxSuccess;
  luxGraphicsLuid luid{};
  if (initialized_ && lux_Create(&session_, &luid) != luxSuccess) session_ = nullptr;
}

LuxApplication::~LuxApplication() {
  DestroySession();
  if (initialized_) lux_Shutdown();
}

luxSessionStatus LuxApplication::Status() const {
  luxSessionStatus status{};
  if (session_ != nullptr) lux_GetSessionStatus(session_, &status);
  return status;
}

void LuxApplication::DestroySession() {
  if (session_ != nullptr) lux_Destroy(session_);
  session_ = nullptr;
}

}  // namespace e2e
