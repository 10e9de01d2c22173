#include "support/validator_course.h"

#include <iostream>
#include <sstream>

#include "log/validator_log.h"
#include "support/child_process.h"
#include "support/fake_time.h"
#include "support/validator_surroundings.h"

namespace testsupport {

namespace {

// The child reports what the parent cannot see on standard error, one fact a line.
constexpr char kRequest[] = "request ";
constexpr char kSetting[] = "setting ";
constexpr char kElapsed[] = "elapsed ";

}  // namespace

CourseOutcome RunCourse(const Course& course) {
  const ChildOutcome run = RunInChild([&course] {
    std::atomic<QasValidator::Validator*> validator{nullptr};
    ValidatorSurroundings surroundings(Answering(course.shell(validator)), course.settingsTaken);
    FakeTime time;
    QasValidator::WaitServices waits = time.Services();
    waits.sleep = [&validator, &course, sleep = waits.sleep](std::chrono::microseconds pause) {
      sleep(pause);
      if (QasValidator::Validator* subject = validator.load()) course.onPause(*subject);
    };
    QasValidator::Validator subject({{}, std::move(waits)});
    QasValidator::SetVerboseLogging(course.verbose);
    subject.SetApplication("/bin/sleep", {"30"});
    subject.SetLoadTimeMs(1000);
    validator = &subject;
    const QasValidator::TestResult result = course.test(subject);
    for (const std::string& path : RequestPaths(surroundings.shell)) {
      std::cerr << kRequest << path << "\n";
    }
    for (const std::string& setting : surroundings.settings.Calls()) {
      std::cerr << kSetting << setting << "\n";
    }
    std::cerr << kElapsed << time.Elapsed().count() << std::endl;
    return static_cast<int>(result);
  });

  CourseOutcome outcome;
  outcome.result = run.exitStatus;
  outcome.printed = course.verbose ? WithoutShellClientLines(run.out) : run.out;
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
