#pragma once

#include <functional>
#include <string>

#include "support/console_lines.h"
#include "validator/test_result.h"

// A test's judgement run where its console output can be read.

namespace testsupport {

/// What a judgement decided and what it printed on the console.
struct Verdict {
  QasValidator::TestResult result;
  std::string printed;
};

/// Runs `judgement` in a child process, after `setUp` (e.g. verbose logging on), and returns
/// its result and console output.
Verdict JudgeInChild(const std::function<QasValidator::TestResult()>& judgement,
                     const std::function<void()>& setUp = {});

/// Runs `judgement` like JudgeInChild, with the usage events it sends printed as RecordTelemetry
/// prints them, without the fields that every event carries.
Verdict JudgeRecordingTelemetry(const std::function<QasValidator::TestResult()>& judgement);

}  // namespace testsupport
