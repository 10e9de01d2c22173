#include "log/validator_log.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <utility>

#include "lux/lux_capi.h"
#include "platform/clock.h"
#include "platform/system_error.h"

namespace QasValidator {

namespace {

// One mutex serialises console and file output, so lines never interleave.
std::mutex logMutex;
std::FILE* logFile = nullptr;  // guarded by logMutex
std::string lastOpenError;     // guarded by logMutex
std::atomic<bool> verbose{false};
LogLineObserver lineObserver;  // guarded by logMutex
std::string statusLine;        // guarded by logMutex: shown on standard error when not empty

constexpr std::string_view kEquals =
    "===============================================================================";

std::string_view FilePrefix(LogLevel level) {
  switch (level) {
    case LogLevel::Error:
      return "ERROR: ";
    case LogLevel::Info:
      return "INFO: ";
    case LogLevel::Verbose:
      return "VERBOSE: ";
  }
  return "";
}

void CloseLogFileLocked() {
  if (logFile != nullptr) {
    std::fclose(logFile);
    logFile = nullptr;
  }
}

// Rewrites the status line from `shown` to `text`: back to the line's start, the new text, and
// blanks over what is left of the old one. Plain carriage returns and blanks work on every
// terminal, without escape sequences.
void RedrawStatusLineLocked(std::string_view shown, std::string_view text) {
  std::string line = "\r";
  line.append(text);
  if (shown.size() > text.size()) line.append(shown.size() - text.size(), ' ');
  if (text.empty()) line.push_back('\r');
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

std::string FormatSeparatorLine(std::string_view timeText) {
  const size_t room = timeText.size() < 78 ? 78 - timeText.size() : 0;
  const size_t first = room / 2;
  std::string line;
  line.append(kEquals.substr(0, first));
  line.push_back(' ');
  line.append(timeText);
  line.push_back(' ');
  line.append(kEquals.substr(0, room - first));
  line.push_back('\n');
  return line;
}

bool OpenLogFile(const std::string& path) {
  std::lock_guard lock(logMutex);
  CloseLogFileLocked();
  logFile = std::fopen(path.c_str(), "a");
  if (logFile == nullptr) {
    const int error = errno;
    std::string text = std::strerror(error);
    if (text.size() > 1024) text.resize(1024);
    lastOpenError = text + " (" + std::to_string(error) + ")";
    return false;
  }
  std::fseek(logFile, 0, SEEK_END);
  if (std::ftell(logFile) > 0) {
    const std::string separator = FormatSeparatorLine(platform::LocalTimeText("%Y-%m-%d %H:%M:%S"));
    std::fwrite(separator.data(), 1, separator.size(), logFile);
    std::fflush(logFile);
  }
  return true;
}

void CloseLogFile() {
  std::lock_guard lock(logMutex);
  CloseLogFileLocked();
}

void SetVerboseLogging(bool enabled) { verbose.store(enabled, std::memory_order_relaxed); }

std::string GetLogFileError() {
  std::lock_guard lock(logMutex);
  return lastOpenError;
}

void WriteLogLine(std::string_view text, LogLevel level) {
  if (level == LogLevel::Verbose && !verbose.load(std::memory_order_relaxed)) return;
  std::lock_guard lock(logMutex);
  std::string console;
  if (level == LogLevel::Error) console = "ERROR: ";
  console.append(text);
  console.push_back('\n');
  if (!statusLine.empty()) RedrawStatusLineLocked(statusLine, "");
  std::fwrite(console.data(), 1, console.size(), stdout);
  std::fflush(stdout);
  if (!statusLine.empty()) RedrawStatusLineLocked("", statusLine);
  if (lineObserver) lineObserver(level, text);
  if (logFile != nullptr) {
    std::string line(FilePrefix(level));
    line.append(text);
    line.push_back('\n');
    std::fwrite(line.data(), 1, line.size(), logFile);
    std::fflush(logFile);
  }
}

void SetLogLineObserver(LogLineObserver observer) {
  std::lock_guard lock(logMutex);
  lineObserver = std::move(observer);
}

void SetConsoleStatusLine(std::string_view text) {
  std::lock_guard lock(logMutex);
  if (text == statusLine) return;
  RedrawStatusLineLocked(statusLine, text);
  statusLine = text;
}

void Log(LogLevel level, std::initializer_list<std::string_view> parts) {
  // Verbose lines may carry whole messages of other processes: not even joined when unseen.
  if (level == LogLevel::Verbose && !verbose.load(std::memory_order_relaxed)) return;
  std::string text;
  for (std::string_view part : parts) text.append(part);
  WriteLogLine(text, level);
}

void LogError(std::string_view text) { Log(LogLevel::Error, {text}); }
void LogError(std::string_view first, std::string_view second) {
  Log(LogLevel::Error, {first, second});
}
void LogInfo(std::string_view text) { Log(LogLevel::Info, {text}); }
void LogInfo(std::string_view first, std::string_view second) {
  Log(LogLevel::Info, {first, second});
}
void LogVerbose(std::string_view text) { Log(LogLevel::Verbose, {text}); }

void LogSystemError(std::string_view text) {
  const uint32_t code = platform::LastErrorCode();
  Log(LogLevel::Error, {text, "\n\tSystem Error Code: ", std::to_string(code), "\n\t",
                        platform::SystemErrorText(code)});
}

void LogRuntimeError(std::string_view text) {
  luxErrorInfo errorInfo{};
  lux_GetLastErrorInfo(&errorInfo);
  errorInfo.ErrorString[sizeof errorInfo.ErrorString - 1] = '\0';
  const std::string_view errorString = errorInfo.ErrorString;
  Log(LogLevel::Error,
      {text, "\n\tLUX Error Code: ", std::to_string(errorInfo.Result),
       errorString.empty() ? std::string_view() : "\n\tError String: ", errorString});
}

}  // namespace QasValidator
