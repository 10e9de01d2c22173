#include "support/verdict.h"

#include "support/child_process.h"
#include "support/telemetry_recorder.h"

namespace testsupport {

Verdict JudgeInChild(const std::function<QasValidator::TestResult()>& judgement,
                     const std::function<void()>& setUp) {
  const ChildOutcome run = RunInChild([&] {
    if (setUp) setUp();
    return static_cast<int>(judgement());
  });
  return {static_cast<QasValidator::TestResult>(run.exitStatus), run.out};
}

Verdict JudgeRecordingTelemetry(const std::function<QasValidator::TestResult()>& judgement) {
  return JudgeInChild(judgement, [] { RecordTelemetry(kStandardTelemetryFields); });
}

}  // namespace testsupport
