#include <chrono>
#include <string>

#include "checks/visibility_judgements.h"
#include "log/validator_log.h"
#include "validator/status_codes.h"
#include "validator/validator.h"

// The visibility tests: the swap-chain commits of the application, counted over 5 s, while it
// is visible, while it is taken out of view, and while the dash is shown over it.
//
// On an older shell the application is taken out of view by switching to the universal menu
// ("UM") and waiting until the shell reports it, querying once a second. That wait is bounded:
// a shell that has not shown the menu after 30 s ends the test with an Error line and
// `Failed`, without measuring, instead of holding the run forever.

namespace QasValidator {

namespace {

using namespace std::chrono_literals;

constexpr int32_t kMeasurementMs = 5000;
constexpr char kMenu[] = "UM";

/// Zeroes the session process's commit counters and lets the application run for the
/// measurement: 0, or the status poll's negative code.
int32_t MeasureCommits(Validator& validator) {
  validator.WithSessionRecord([](ProcessRecord& record) {
    record.commitsVisible = 0;
    record.commitsNotVisible = 0;
  });
  return validator.WaitMilliseconds(kMeasurementMs, "counting swap-chain commits");
}

CommitCounts ReadCommits(Validator& validator) {
  return validator.WithSessionRecord([](const ProcessRecord& record) {
    return CommitCounts{record.commitsVisible, record.commitsNotVisible};
  });
}

}  // namespace

TestResult Validator::TestSubmitFramesWhenVisible() {
  return RunWithApplication("TestSubmitFramesWhenVisible", false, [this] {
    hub.SetProximitySensor(true);
    const int32_t measured = MeasureCommits(*this);
    if (measured != 0) return TestResultOfStatus(measured);
    hub.SetProximitySensor(false);
    const CommitCounts counts = ReadCommits(*this);
    PrintCommitCounts(counts);
    return JudgeCommitsWhenVisible(counts);
  });
}

TestResult Validator::TestSubmitFramesWhenNotVisible() {
  return RunWithApplication("TestSubmitFramesWhenNotVisible", false, [this] {
    if (!TakeApplicationOutOfView()) return ReportMenuNotShown();
    const int32_t measured = MeasureCommits(*this);
    if (measured != 0) return TestResultOfStatus(measured);
    const CommitCounts counts = ReadCommits(*this);
    hub.RequestTheVoid(false, sessionPid);
    PrintCommitCounts(counts);
    return JudgeCommitsWhenNotVisible(counts);
  });
}

bool Validator::TakeApplicationOutOfView() {
  if (hub.GetDashVisibility()) {
    LogInfo("Simulating HMD removal...");
    hub.SetProximitySensor(false);
    waits.sleep(1000ms);
    return true;
  }
  std::string location;
  hub.GetActualLocation(location);
  LogInfo("Switching away to UM...");
  hub.RequestLocation(kMenu);
  // The location queried before the request counts: a shell already in the menu needs no pause.
  const auto menuShown = [&] {
    if (location == kMenu) return true;
    waits.sleep(1000ms);
    hub.GetActualLocation(location);
    return location == kMenu;
  };
  return WaitFor(menuShown, kMenuWaitMs, false,
                 {.pollInterval = kSelfPaced, .activity = "waiting for the menu"}) == 0;
}

TestResult Validator::TestSubmitFramesWhenInDash() {
  return RunWithApplication("TestSubmitFramesWhenInDash", false, [this] {
    hub.SetProximitySensor(true);
    const bool focusAware = hub.GetFocusAware(sessionPid);
    LogInfo(focusAware ? "Testing for focus aware app." : "Testing for not focus aware app.");
    LogInfo("Showing dash...");
    hub.RequestTheVoid(true, sessionPid);
    waits.sleep(1000ms);
    const int32_t measured = MeasureCommits(*this);
    if (measured != 0) return TestResultOfStatus(measured);
    const CommitCounts counts = ReadCommits(*this);
    hub.RequestTheVoid(false, sessionPid);
    PrintCommitCounts(counts);
    return JudgeCommitsInDash(focusAware, counts);
  });
}

}  // namespace QasValidator
