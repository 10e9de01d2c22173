#include "support/validator_course.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "driver/test_registry.h"
#include "log/validator_log.h"
#include "support/child_process.h"
#include "support/console_lines.h"
#include "support/telemetry_recorder.h"

namespace testsupport {

namespace {

// The child reports what the parent cannot see on standard error, one fact a line.
constexpr char kRequest[] = "request ";
constexpr char kSetting[] = "setting ";
constexpr char kElapsed[] = "elapsed ";

// The last `count` of `all`.
std::vector<std::string> Last(const std::vector<std::string>& all, size_t count) {
  return {all.end() - static_cast<long>(std::min(count, all.size())), all.end()};
}

/// What a procedure left.
struct CourseOutcome {
  int result = -1;  // the TestResult, or -1 when the run went wrong
  std::string printed;
  std::vector<std::string> requests;
  std::vector<std::string> settings;
  /// Time that passed on the fake clock.
  std::chrono::milliseconds elapsed{0};
};

CourseOutcome RunCourse(const Course& course) {
  const ChildOutcome run = RunInChild([&course] {
    QasValidator::FrontApplicationRig rig([] { return false; }, course.shell, course.onPause);
    rig.validator.SetLoadTimeMs(1000);
    rig.validator.SetMaxTimeToFrame(course.maxTimeToFrame);
    std::vector<QasValidator::TestEntry> tests = QasValidator::DefaultTestsOf(rig.validator);
    for (QasValidator::TestEntry& extra : QasValidator::ExtraTestsOf(rig.validator)) {
      tests.push_back(std::move(extra));
    }
    int result = -1;
    for (const QasValidator::TestEntry& test : tests) {
      if (test.name == course.test) result = static_cast<int>(test.procedure());
    }
    for (const std::string& path : RequestPaths(rig.surroundings.shell)) {
      std::cerr << kRequest << path << "\n";
    }
    for (const std::string& setting : rig.surroundings.settings.Calls()) {
      std::cerr << kSetting << setting << "\n";
    }
    std::cerr << kElapsed << rig.time.Elapsed().count() << std::endl;
    return result;
  });

  CourseOutcome outcome;
  outcome.result = run.exitStatus;
  outcome.printed = run.out;
  std::istringstream facts(run.err);
  for (std::string line; std::getline(facts, line);) {
    if (line.starts_with(kRequest)) {
      outcome.requests.push_back(line.substr(sizeof kRequest - 1));
    } else if (line.starts_with(kSetting)) {
      outcome.settings.push_back(line.substr(sizeof kSetting - 1));
    } else if (line.starts_with(kElapsed)) {
      outcome.elapsed = std::chrono::milliseconds(std::stoll(line.substr(sizeof kElapsed - 1)));
    }
  }
  return outcome;
}

}  // namespace

void ExpectJudgement(const std::function<QasValidator::TestResult()>& judge,
                     QasValidator::TestResult result, const std::string& printed,
                     JudgementOutput output, const std::string& label) {
  const ChildOutcome run = RunInChild([&] {
    if (output == JudgementOutput::kVerbose) QasValidator::SetVerboseLogging(true);
    if (output == JudgementOutput::kTelemetry) RecordTelemetry(kStandardTelemetryFields);
    return static_cast<int>(judge());
  });
  EXPECT_EQ(run.exitStatus, static_cast<int>(result)) << label;
  EXPECT_EQ(run.out, printed) << label;
}

void ExpectJudgements(std::span<const JudgementCase> cases, JudgementOutput output) {
  for (size_t i = 0; i < cases.size(); ++i) {
    ExpectJudgement(cases[i].judge, cases[i].result, cases[i].printed, output,
                    "case " + std::to_string(i));
  }
}

void ExpectCourse(const Course& course, const CourseExpectation& expected) {
  const CourseOutcome run = RunCourse(course);
  EXPECT_EQ(run.result, static_cast<int>(expected.result));
  EXPECT_EQ(WithoutProcessIds(run.printed),
            "Starting " + course.test + "\n" + expected.printed +
                Ended(QasValidator::TestResultText(expected.result, true)));
  if (!expected.lastRequests.empty()) {
    EXPECT_EQ(Last(run.requests, expected.lastRequests.size()), expected.lastRequests);
  }
  if (!expected.lastSettings.empty()) {
    EXPECT_EQ(Last(run.settings, expected.lastSettings.size()), expected.lastSettings);
  }
  if (expected.elapsed.count() >= 0) {
    EXPECT_GE(run.elapsed, expected.elapsed);
    EXPECT_LT(run.elapsed, expected.elapsed + std::chrono::milliseconds(100));
  }
}

}  // namespace testsupport
