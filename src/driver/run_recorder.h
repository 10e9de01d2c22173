#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "driver/test_registry.h"
#include "log/validator_log.h"

namespace QasValidator {

/// What one run of a named test left: one per call of `RunTestWithRetry`, so a test named twice
/// has two runs and a retried test one run with several attempts.
struct TestRun {
  std::string name;
  /// The results of its attempts in order; the last one is the test's result.
  std::vector<TestResult> attempts;
  /// False while the test runs (and in a report written before it ended).
  bool finished = false;
  /// Seconds from its start to its end, or to the moment the record was taken.
  double seconds = 0.0;
  /// Every console line of the run, its attempts and the retry notes between them.
  std::vector<std::pair<LogLevel, std::string>> lines;
};

/// Whether a run ended Failed; a transient error that was not retried away counts as Failed.
bool EndedFailed(const TestRun& run);

/// Records the test runs of the validation as they happen, with the console lines they print
/// (it watches the validator log while it exists: one recorder at a time). Runs happen on the
/// main thread; lines may come from any thread.
class RunRecorder {
 public:
  /// Seconds on a monotonic clock.
  using Clock = std::function<double()>;
  /// Called on the main thread with every run so far when a run starts and when it ends.
  using ChangeHandler = std::function<void(const std::vector<TestRun>& runs)>;

  explicit RunRecorder(ChangeHandler changed = {}, Clock clock = {});
  ~RunRecorder();
  RunRecorder(const RunRecorder&) = delete;
  RunRecorder& operator=(const RunRecorder&) = delete;

  /// Runs `procedure` through `RunTestWithRetry`, recorded under `name`.
  void Run(const std::string& name, const TestProcedure& procedure);
  /// Every run so far, the one under way included.
  std::vector<TestRun> Runs() const;

 private:
  void Note(LogLevel level, std::string_view text);
  void Changed();

  const ChangeHandler changed_;
  const Clock clock_;
  mutable std::mutex mutex_;
  std::vector<TestRun> runs_;      // guarded by mutex_
  std::optional<size_t> current_;  // guarded by mutex_: the run under way
  double currentStart_ = 0.0;      // guarded by mutex_
};

}  // namespace QasValidator
