#pragma once

#include <cstdint>
#include <optional>

#include "platform/handle.h"
#include "platform/waitable.h"

namespace platform {

/// How a signalled event returns to the non-signalled state.
enum class EventReset {
  kAuto,    // a satisfied wait resets it, so each Set releases one waiter
  kManual,  // it stays signalled until Reset
};

/// An event object (CreateEvent) that can be shared with another process through its handle.
class Event : public Waitable {
 public:
  /// A new event, or nothing when the system has no resources left.
  static std::optional<Event> Create(EventReset reset, bool initiallySet = false);
  /// Takes over an event handle that another process passed over. Fails when the handle is not
  /// an event.
  static std::optional<Event> Adopt(OwnedHandle handle, EventReset reset);

  Event(Event&&) = default;
  Event& operator=(Event&&) = default;

  void Set();
  void Reset();
  /// True when the event was signalled within `timeoutMs` (an auto-reset event is reset).
  bool Wait(uint32_t timeoutMs);

  /// The handle, to pass the event to another process.
  const OwnedHandle& Handle() const { return handle_; }

 private:
  Event(OwnedHandle handle, EventReset reset) : handle_(std::move(handle)), reset_(reset) {}
  intptr_t WaitHandle() const override { return handle_.Get(); }
  bool AcquireSignal() override;

  OwnedHandle handle_;
  EventReset reset_;
};

}  // namespace platform
