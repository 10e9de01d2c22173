#include "log/channels/log_item.h"

#include <cstdio>
#include <cstring>

#include "log/channels/levels.h"

namespace luxlog {

ChannelName MakeChannelName(const char* name) {
  ChannelName kept{};
  std::strncpy(kept.data(), name, kept.size() - 1);
  return kept;
}

std::string FormatHeader(const platform::LocalDateTime& time, uint32_t level,
                         std::string_view channel) {
  // "dd/MM HH:mm:ss.fff": 18 characters. With the longest prefix and a 63-character name the
  // header stays far below the 1024 characters that any piece may fill.
  char stamp[48];
  std::snprintf(stamp, sizeof stamp, "%02u/%02u %02u:%02u:%02u.%03u", unsigned{time.day},
                unsigned{time.month}, unsigned{time.hour}, unsigned{time.minute},
                unsigned{time.second}, unsigned{time.milliseconds});
  std::string header = stamp;
  header.append(LevelPrefix(level));
  header.append(channel);
  header.append("] ");
  return header;
}

}  // namespace luxlog
