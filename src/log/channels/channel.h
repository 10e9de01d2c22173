#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "log/channels/configurator.h"
#include "log/channels/levels.h"
#include "log/channels/log_item.h"

namespace luxlog {

class Channel;

/// The four functions through which a module's channels reach the process's configurator and
/// output worker.
struct LoggingFunctions {
  void (*output)(const char* channel, uint32_t level, const char* message, uint8_t noDebuggerCopy,
                 int32_t force);
  void (*registerChannel)(ChannelRegistration* registration);
  void (*unregisterChannel)(ChannelRegistration* registration);
  void (*levelChange)(Channel* channel, uint32_t level);
};

/// For each of the four exported logging names, the function that `lookup` finds under it, and
/// the module's own implementation for each name it does not find.
LoggingFunctions BindLoggingFunctions(const std::function<void*(const char*)>& lookup);

/// A named log channel, usually a static object. It registers itself when constructed and
/// unregisters when destroyed. The first channel of a module binds the module to the logging
/// functions that the process's main program exports, so that every module of the process logs
/// through one output worker; a main program without them leaves the module its own.
class Channel {
 public:
  static constexpr uint32_t kDefaultLevel = kInfo;

  /// A channel named `name`, cut to 63 characters.
  explicit Channel(const char* name);
  ~Channel();
  Channel(const Channel&) = delete;
  Channel& operator=(const Channel&) = delete;

  const char* Name() const { return name_.data(); }
  uint32_t Level() const { return level_.load(); }
  /// Sets the level and reports the change to the configurator; with `lock`, the configured
  /// level no longer replaces it.
  void SetLevel(uint32_t level, bool lock);

  /// Whether the channel writes messages of `level`: it is not disabled and the message's
  /// level is at least its own.
  bool Writes(uint32_t level) const;
  /// Hands `text` to the process's output worker when the channel writes `level`.
  void Log(uint32_t level, const std::string& text) const;

 private:
  const ChannelName name_;
  std::atomic<uint32_t> level_{kDefaultLevel};
  std::atomic<bool> levelLocked_{false};
  ChannelRegistration registration_;
};

}  // namespace luxlog
