#include "platform/clock.h"

#include <time.h>

#include <ctime>

namespace platform {

namespace {

timespec Now(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return ts;
}

}  // namespace

double MonotonicSeconds() {
  const timespec ts = Now(CLOCK_MONOTONIC);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

uint64_t TickCountMs() {
  const timespec ts = Now(CLOCK_MONOTONIC);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

int64_t SystemTime100ns() {
  const timespec ts = Now(CLOCK_REALTIME);
  return static_cast<int64_t>(ts.tv_sec) * 10000000 + ts.tv_nsec / 100;
}

std::string LocalTimeText(const char* format) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[256];
  const size_t length = std::strftime(text, sizeof text, format, &local);
  return std::string(text, length);
}

LocalDateTime LocalTimeNow() {
  const timespec now = Now(CLOCK_REALTIME);
  std::tm local{};
  localtime_r(&now.tv_sec, &local);
  return LocalDateTime{
      static_cast<uint16_t>(local.tm_year + 1900), static_cast<uint16_t>(local.tm_mon + 1),
      static_cast<uint16_t>(local.tm_mday),        static_cast<uint16_t>(local.tm_hour),
      static_cast<uint16_t>(local.tm_min),         static_cast<uint16_t>(local.tm_sec),
      static_cast<uint16_t>(now.tv_nsec / 1000000)};
}

}  // namespace platform
