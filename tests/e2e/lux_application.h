#pragma once

#include <cstdint>

#include "lux/lux_capi.h"

namespace e2e {

/// This process as an application of the runtime: initialised (focus aware or not) with one
/// session, from construction until destruction.
class LuxApplication {
 public:
  explicit LuxApplication(bool focusAware = false);
  ~LuxApplication();
  LuxApplication(const LuxApplication&) = delete;
  LuxApplication& operator=(const LuxApplication&) = delete;

  /// True when the runtime initialised and the session exists.
  bool Running() const { return session_ != nullptr; }
  luxSession Session() const { return session_; }
  /// The session's status as the runtime reports it now.
  luxSessionStatus Status() const;
  /// Ends the session early (the runtime stays initialised).
  void DestroySession();

 private:
  bool initialized_ = false;
  luxSession session_ = nullptr;
};

}  // namespace e2e
