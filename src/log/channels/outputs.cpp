#include "log/channels/levels.h"
#include "log/channels/output_plugin.h"
#include "platform/console_output.h"
#include "platform/debugger.h"

namespace luxlog {

namespace {

constexpr uint16_t kIntensity = 8;

}  // namespace

void OutputConsole::Write(uint32_t level, const LogItem&, std::string_view header,
                          std::string_view message) {
  const platform::ConsoleOutputLock hold;
  const std::optional<uint16_t> previous = platform::ConsoleTextAttributes();
  const uint16_t colour = LevelColour(level);
  // The header in the plain shade of the level's colour, the message in its bright one.
  platform::SetConsoleTextAttributes(static_cast<uint16_t>(colour & ~kIntensity));
  if (toStdout_) {
    platform::WriteStandardOutput(header);
  } else {
    platform::WriteConsoleText(header);
  }
  if ((colour & kIntensity) != 0) platform::SetConsoleTextAttributes(colour);
  if (toStdout_) {
    platform::WriteStandardOutputLine(message);
  } else {
    platform::WriteConsoleText(std::string(message) + "\n");
  }
  if (previous) platform::SetConsoleTextAttributes(*previous);
}

void OutputDbgView::Write(uint32_t, const LogItem&, std::string_view header,
                          std::string_view message) {
  std::string line(header);
  line.append(message);
  line.push_back('\n');
  platform::OutputDebugText(line);
}

}  // namespace luxlog
