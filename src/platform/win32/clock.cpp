#include "platform/clock.h"

#include <windows.h>

#include <ctime>

namespace platform {

namespace {

int64_t CounterFrequency() {
  static const int64_t frequency = [] {
    LARGE_INTEGER value{};
    QueryPerformanceFrequency(&value);
    return value.QuadPart;
  }();
  return frequency;
}

// 100-ns intervals between 1601-01-01 (FILETIME) and 1970-01-01 (the Unix epoch).
constexpr int64_t kFileTimeToUnixEpoch = 116444736000000000;

}  // namespace

double MonotonicSeconds() {
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(CounterFrequency());
}

uint64_t TickCountMs() { return GetTickCount64(); }

int64_t SystemTime100ns() {
  FILETIME now{};
  GetSystemTimePreciseAsFileTime(&now);
  ULARGE_INTEGER value{};
  value.LowPart = now.dwLowDateTime;
  value.HighPart = now.dwHighDateTime;
  return static_cast<int64_t>(value.QuadPart) - kFileTimeToUnixEpoch;
}

std::string LocalTimeText(const char* format) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_s(&local, &now);
  char text[256];
  const size_t length = std::strftime(text, sizeof text, format, &local);
  return std::string(text, length);
}

LocalDateTime LocalTimeNow() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return LocalDateTime{now.wYear,   now.wMonth,  now.wDay,         now.wHour,
                       now.wMinute, now.wSecond, now.wMilliseconds};
}

}  // namespace platform
