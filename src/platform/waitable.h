#pragma once

#include <cstdint>
#include <span>

namespace platform {

/// Wait without a time limit.
inline constexpr uint32_t kInfinite = 0xFFFFFFFF;
/// Results of a wait besides the index of the signalled object (WAIT_TIMEOUT, WAIT_FAILED).
inline constexpr uint32_t kWaitTimeout = 0x102;
inline constexpr uint32_t kWaitFailed = 0xFFFFFFFF;
/// Most objects one wait can watch (MAXIMUM_WAIT_OBJECTS).
inline constexpr size_t kMaximumWaitObjects = 64;

class Waitable;

/// Waits until one of `objects` is signalled or `timeoutMs` passes (WaitForMultipleObjects
/// waiting for any). Returns the index of the signalled object, the lowest when several are;
/// an auto-reset object that satisfies the wait is reset by it. Otherwise returns kWaitTimeout,
/// or kWaitFailed for an invalid object or more than kMaximumWaitObjects objects.
uint32_t WaitForMultiple(std::span<Waitable* const> objects, uint32_t timeoutMs);

/// WaitForSingleObject: 0 when `object` is signalled, else kWaitTimeout or kWaitFailed.
uint32_t WaitForSingle(Waitable& object, uint32_t timeoutMs);

/// An object that can be waited for: an event, a process, a pipe server with a waiting client.
class Waitable {
 public:
  virtual ~Waitable() = default;

 protected:
  Waitable() = default;
  Waitable(const Waitable&) = default;
  Waitable(Waitable&&) = default;
  Waitable& operator=(const Waitable&) = default;
  Waitable& operator=(Waitable&&) = default;

 private:
  friend uint32_t WaitForMultiple(std::span<Waitable* const> objects, uint32_t timeoutMs);

  /// The handle the system waits on.
  virtual intptr_t WaitHandle() const = 0;
  /// Called when a wait found the object signalled. An auto-reset object resets itself here
  /// and returns whether it was still signalled (another waiter may have taken it first).
  virtual bool AcquireSignal() { return true; }
};

}  // namespace platform
