#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace luxlog {

/// A channel name as kept by channels and queued messages: at most 63 characters and a NUL.
using ChannelName = std::array<char, 64>;

/// `name` cut to 63 characters.
ChannelName MakeChannelName(const char* name);

/// One message waiting for the output worker.
struct LogItem {
  ChannelName channel{};
  uint32_t level = 0;
  std::string text;
  platform::LocalDateTime time;  // local time of the call

  std::string_view Channel() const { return channel.data(); }
};

/// The header written before a message: the day and month, the time with milliseconds, the
/// level's prefix, the channel name and "] ", as in "04/12 23:21:53.007 {INFO}    [LibLUXRT] ".
std::string FormatHeader(const platform::LocalDateTime& time, uint32_t level,
                         std::string_view channel);

}  // namespace luxlog
