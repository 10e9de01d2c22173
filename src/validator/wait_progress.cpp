#include "validator/wait_progress.h"

namespace QasValidator {

namespace {

using std::chrono::seconds;

std::string PrefixOf(std::string_view testName, std::string_view activity) {
  std::string prefix(testName);
  if (!prefix.empty()) prefix.append(": ");
  return prefix.append(activity).append(", ");
}

}  // namespace

WaitProgress::WaitProgress(const std::function<void(std::string_view)>& display,
                           std::string_view testName, std::string_view activity,
                           Clock::time_point deadline)
    : display_(display),
      shown_(display_ && !activity.empty()),
      prefix_(PrefixOf(testName, activity)),
      deadline_(deadline) {}

WaitProgress::~WaitProgress() {
  if (secondsShown_ >= 0) display_("");
}

WaitProgress::Clock::time_point WaitProgress::Update(Clock::time_point now) {
  if (!shown_ || now >= deadline_) return Clock::time_point::max();
  // Whole seconds left, rounded up: the line reads "1 s left" during the last second.
  const int64_t left = std::chrono::ceil<seconds>(deadline_ - now).count();
  if (left != secondsShown_) {
    display_(prefix_ + std::to_string(left) + " s left");
    secondsShown_ = left;
  }
  return deadline_ - seconds(left - 1);
}

}  // namespace QasValidator
