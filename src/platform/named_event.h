#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

/// True when the machine-wide named event `name` exists and is signalled (OpenEvent with
/// synchronize access and a wait of 0 ms). Never creates the event and never blocks.
bool IsNamedEventSignalled(std::string_view name);

/// A machine-wide manual-reset named event that this process owns (CreateEvent). It is visible
/// to other processes under its name while the object exists and disappears with it.
class OwnedNamedEvent {
 public:
  ~OwnedNamedEvent();
  OwnedNamedEvent(OwnedNamedEvent&& other) noexcept;
  OwnedNamedEvent& operator=(OwnedNamedEvent&& other) noexcept;
  OwnedNamedEvent(const OwnedNamedEvent&) = delete;
  OwnedNamedEvent& operator=(const OwnedNamedEvent&) = delete;

  /// Creates the event `name`, signalled or not; nothing when it cannot be created.
  static std::optional<OwnedNamedEvent> Create(std::string_view name, bool signalled);

  /// Signals the event; false when it cannot, for one because another process signals it.
  bool Set();
  /// Clears the event.
  void Reset();

 private:
  OwnedNamedEvent(int descriptor, std::string path)
      : descriptor_(descriptor), path_(std::move(path)) {}
  void Release();

  int descriptor_ = -1;
  std::string path_;
};

}  // namespace platform
