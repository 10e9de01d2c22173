#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace IPC {

/// The record of a function of the peer: its name and the channel its calls travel on.
class RemoteFunction {
 public:
  /// A record for `name` (a valid name has 1 to 63 bytes). The selector flag picks channel 0
  /// instead of channel 1 for ordinary calls.
  explicit RemoteFunction(std::string_view name, bool selectorFlag = false);

  /// Chooses the channel for calls of `kind`: kind 1 uses channel 2; any other kind uses
  /// channel 0 when the selector flag is set and channel 1 when it is clear. A record with an
  /// invalid name keeps channel -1, so calling it fails with "Invalid parameters to IPC".
  void Setup(uint8_t kind);

  const std::string& Name() const { return name_; }
  int32_t Channel() const { return channel_; }

 private:
  std::string name_;
  bool selectorFlag_;
  int32_t channel_ = -1;  // -1 until Setup
};

}  // namespace IPC
