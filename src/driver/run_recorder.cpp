#include "driver/run_recorder.h"

#include "platform/clock.h"

namespace QasValidator {

bool EndedFailed(const TestRun& run) {
  if (!run.finished || run.attempts.empty()) return false;
  const TestResult result = run.attempts.back();
  return result == TestResult::Failed || result == TestResult::TransientError;
}

RunRecorder::RunRecorder(ChangeHandler changed, Clock clock)
    : changed_(std::move(changed)), clock_(clock ? std::move(clock) : platform::MonotonicSeconds) {
  SetLogLineObserver([this](LogLevel level, std::string_view text) { Note(level, text); });
}

RunRecorder::~RunRecorder() { SetLogLineObserver({}); }

void RunRecorder::Run(const std::string& name, const TestProcedure& procedure) {
  {
    std::lock_guard lock(mutex_);
    current_ = runs_.size();
    currentStart_ = clock_();
    runs_.emplace_back().name = name;
  }
  Changed();
  RunTestWithRetry([&] {
    const TestResult result = procedure();
    std::lock_guard lock(mutex_);
    runs_[*current_].attempts.push_back(result);
    return result;
  });
  {
    std::lock_guard lock(mutex_);
    TestRun& run = runs_[*current_];
    run.finished = true;
    run.seconds = clock_() - currentStart_;
    current_.reset();
  }
  Changed();
}

std::vector<TestRun> RunRecorder::Runs() const {
  std::lock_guard lock(mutex_);
  std::vector<TestRun> runs = runs_;
  if (current_) runs[*current_].seconds = clock_() - currentStart_;
  return runs;
}

void RunRecorder::Note(LogLevel level, std::string_view text) {
  std::lock_guard lock(mutex_);
  if (current_) runs_[*current_].lines.emplace_back(level, std::string(text));
}

void RunRecorder::Changed() {
  if (changed_) changed_(Runs());
}

}  // namespace QasValidator
