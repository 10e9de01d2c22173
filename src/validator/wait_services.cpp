#include "validator/wait_services.h"

#include <algorithm>
#include <array>
#include <thread>

#include "log/validator_log.h"
#include "platform/key_state.h"
#include "platform/terminal.h"

namespace QasValidator {

namespace {

using std::chrono::microseconds;

/// How often a key is queried where the system cannot wake a wait for one.
constexpr microseconds kKeyPollInterval = std::chrono::milliseconds(100);
/// The pace of a pause whose objects the system cannot wait on.
constexpr microseconds kFallbackPollInterval = std::chrono::milliseconds(1);

/// `duration` in whole milliseconds for the system's wait, rounded up, so that a pause never
/// ends before its time.
uint32_t ToWaitMilliseconds(microseconds duration) {
  if (duration == WaitServices::kForever) return platform::kInfinite;
  const int64_t milliseconds = (std::max<int64_t>(duration.count(), 0) + 999) / 1000;
  return static_cast<uint32_t>(std::min<int64_t>(milliseconds, platform::kInfinite - 1));
}

uint32_t SystemPause(WaitServices::WakeSources sources, microseconds duration, bool keys) {
  std::array<platform::Waitable*, platform::kMaximumWaitObjects> objects{};
  size_t count = std::min(sources.size(), objects.size() - 1);
  std::copy_n(sources.begin(), count, objects.begin());
  if (keys) {
    if (platform::Waitable* input = platform::ConsoleKeyInput()) {
      objects[count++] = input;
    } else {
      duration = std::min(duration, kKeyPollInterval);
    }
  }
  const uint32_t woke =
      platform::WaitForMultiple({objects.data(), count}, ToWaitMilliseconds(duration));
  if (woke < sources.size()) return woke;
  if (woke == platform::kWaitFailed) {
    // Nothing to wait on, or a wait the system refuses: the pause becomes a short sleep, so the
    // wait still keeps its time limit.
    std::this_thread::sleep_for(std::min(duration, kFallbackPollInterval));
  }
  return platform::kWaitTimeout;
}

}  // namespace

WaitServices::WaitServices()
    : sleep([](microseconds duration) { std::this_thread::sleep_for(duration); }),
      pause(SystemPause),
      enterPressed([] { return platform::IsKeyPressed(platform::kKeyEnter); }),
      escapePressed([] { return platform::IsKeyPressed(platform::kKeyEscape); }),
      waitForObject([](platform::Waitable& object, std::chrono::milliseconds timeout) {
        return platform::WaitForSingle(object, static_cast<uint32_t>(timeout.count()));
      }) {
  if (platform::IsTerminal(platform::StandardStream::kOutput) &&
      platform::IsTerminal(platform::StandardStream::kError)) {
    showProgress = [](std::string_view text) { SetConsoleStatusLine(text); };
  }
}

}  // namespace QasValidator
