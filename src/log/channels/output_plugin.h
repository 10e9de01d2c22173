#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "log/channels/log_item.h"

namespace luxlog {

/// Where the output worker writes: the debugger output, the console, or a test's capture. The
/// worker keeps at most one output of each name.
class OutputPlugin {
 public:
  virtual ~OutputPlugin() = default;
  virtual std::string GetName() const = 0;
  /// Writes one message, `header` first. Called from one thread at a time.
  virtual void Write(uint32_t level, const LogItem& item, std::string_view header,
                     std::string_view message) = 0;
};

/// The console: the level's colour, the header and the message. The console's own write call
/// reaches only a console; with `toStdout` the text goes to the standard output stream instead,
/// redirected or not.
class OutputConsole : public OutputPlugin {
 public:
  explicit OutputConsole(bool toStdout) : toStdout_(toStdout) {}
  std::string GetName() const override { return "DefaultOutputConsole"; }
  void Write(uint32_t level, const LogItem& item, std::string_view header,
             std::string_view message) override;

 private:
  const bool toStdout_;
};

/// The debugger output: header, message and a line end as one text.
class OutputDbgView : public OutputPlugin {
 public:
  std::string GetName() const override { return "DefaultOutputDbgView"; }
  void Write(uint32_t level, const LogItem& item, std::string_view header,
             std::string_view message) override;
};

}  // namespace luxlog
