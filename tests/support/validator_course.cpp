#include "support/validator_course.h"

#include <iostream>
#include <sstream>

#include "support/child_process.h"

namespace testsupport {

namespace {

// The child reports what the parent cannot see on standard error, one fact a line.
constexpr char kRequest[] = "request ";
constexpr char kSetting[] = "setting ";
constexpr char kElapsed[] = "elapsed ";

}  // namespace

CourseOutcome RunCourse(const Course& course) {
  const ChildOutcome run = RunInChild([&course] {
    QasValidator::FrontApplicationRig rig([] { return false; }, course.shell, course.onPause);
    rig.validator.SetLoadTimeMs(1000);
    const QasValidator::TestResult result = course.test(rig.validator);
    for (const std::string& path : RequestPaths(rig.surroundings.shell)) {
      std::cerr << kRequest << path << "\n";
    }
    for (const std::string& setting : rig.surroundings.settings.Calls()) {
      std::cerr << kSetting << setting << "\n";
    }
    std::cerr << kElapsed << rig.time.Elapsed().count() << std::endl;
    return static_cast<int>(result);
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

}  // namespace testsupport
