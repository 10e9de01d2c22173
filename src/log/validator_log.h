#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

namespace QasValidator {

enum class LogLevel { Error = 0, Info = 1, Verbose = 2 };

/// Opens `path` for appending (creating it when missing), closing a file that was open. When
/// the file already has content a separator line with the local time is written first. On
/// failure the reason is kept for `GetLogFileError` and no file stays open.
bool OpenLogFile(const std::string& path);
void CloseLogFile();
void SetVerboseLogging(bool verbose);
/// The reason of the last failed `OpenLogFile`: the system text and the error number, as in
/// "No such file or directory (2)".
std::string GetLogFileError();

/// The separator line written between runs in one log file, for the given time text.
std::string FormatSeparatorLine(std::string_view timeText);

/// Writes one line to the console and, when a log file is open, to the file. Lines of
/// different threads never interleave.
void WriteLogLine(std::string_view text, LogLevel level);

/// Sees every line that reaches the console, as written (without the "ERROR: " prefix). It is
/// called under the log's lock, on the thread that logs, and must not log itself.
using LogLineObserver = std::function<void(LogLevel level, std::string_view text)>;
/// Installs `observer` (an empty one removes it).
void SetLogLineObserver(LogLineObserver observer);

/// Shows `text` as the console's status line: a line on standard error, below the log's lines,
/// that each call rewrites and an empty text erases. Lines logged meanwhile appear above it. It
/// never reaches the log file. The caller decides whether a terminal shows it.
void SetConsoleStatusLine(std::string_view text);
/// Concatenates `parts` into one line.
void Log(LogLevel level, std::initializer_list<std::string_view> parts);

void LogError(std::string_view text);
void LogError(std::string_view first, std::string_view second);
void LogInfo(std::string_view text);
void LogInfo(std::string_view first, std::string_view second);
void LogVerbose(std::string_view text);
/// Logs `text` as an error with the calling thread's last system error code and its text.
void LogSystemError(std::string_view text);
/// Logs `text` as an error with the runtime's last error code and, when there is one, its
/// error string.
void LogRuntimeError(std::string_view text);

}  // namespace QasValidator
