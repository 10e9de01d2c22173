#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace testsupport {

/// Polls `condition` every millisecond until it holds or `timeout` has passed; returns its
/// last value. For conditions that another thread makes true.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace testsupport
