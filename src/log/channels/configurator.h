#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "log/channels/levels.h"

namespace luxlog {

/// A channel's entry in the process's channel list. Channels of other modules link their
/// entries into the same list, so the layout is shared by every module of the process.
struct ChannelRegistration {
  const char* name = nullptr;
  std::atomic<uint32_t>* level = nullptr;
  const std::atomic<bool>* levelLocked = nullptr;  // set: the configurator leaves `level` alone
  ChannelRegistration* next = nullptr;
  ChannelRegistration* previous = nullptr;
};

/// The level that channels get once the output worker exists.
inline constexpr uint32_t kConfiguredLevel = kDebug;

/// The list of the process's channels and their configured level.
class Configurator {
 public:
  Configurator() = default;

  /// Puts `registration` at the front of the list; once the worker exists, the channel gets
  /// the configured level unless its level is locked.
  void Register(ChannelRegistration* registration);
  void Unregister(ChannelRegistration* registration);
  /// The worker exists: every registered channel whose level is not locked gets the configured
  /// level, and so does every channel registered from now on.
  void ApplyConfiguredLevel();

 private:
  static void Configure(const ChannelRegistration& registration);

  std::mutex lock_;  // guards the list and configured_
  ChannelRegistration* head_ = nullptr;
  bool configured_ = false;
};

}  // namespace luxlog
