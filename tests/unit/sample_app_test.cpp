#include <gtest/gtest.h>

#include "frame_policy.h"
#include "switches.h"

// The sample application's frame decisions on a fake clock, where the e2e runs cannot see them:
// the switches' combinations and limits that no run uses. What a well-behaved application does
// and each misbehaviour a validator test catches are the e2e runs' (VisibilityE2E,
// RequestResponseE2E, PackageAndListeningE2E).

namespace sampleapp {
namespace {

using namespace std::chrono_literals;

Behaviour BehaviourOf(const std::vector<std::string>& switches) {
  const SwitchesOutcome outcome = ParseSwitches(switches);
  EXPECT_EQ(outcome.error, "");
  return outcome.behaviour;
}

const Clock::time_point kStart = Clock::time_point() + 1000s;

TEST(FramePolicy, CommitsFollowTheFlagsTheRuntimeShowsAsTheSwitchesSay) {
  // Each frame: '+' visible, 'D' behind the dash (overlay present), '-' hidden; 100 ms apart.
  const struct {
    std::vector<std::string> switches;
    std::string frames;
    std::string commits;  // '1' where the frame commits
  } cases[] = {
      {{"--no-commit-in-dash"}, "D+", "01"},
      {{"--commit-when-not-visible"}, "+-D", "111"},
      // The stray commit comes with the first frame 250 ms into every stretch not shown.
      {{"--stray-commit-after-ms", "250"}, "+------+-----", "1000100100010"},
      // Behind the dash a focus-aware application is shown: no stray commit there.
      {{"--focus-aware", "--stray-commit-after-ms=100"}, "DDD---", "111010"},
  };
  for (const auto& c : cases) {
    const Behaviour behaviour = BehaviourOf(c.switches);
    FramePolicy policy(behaviour);
    std::string commits;
    Clock::time_point now = kStart;
    for (const char shown : c.frames) {
      commits += policy.CommitsSwapChain(now, shown == '+', shown == 'D') ? '1' : '0';
      now += 100ms;
    }
    EXPECT_EQ(commits, c.commits) << testing::PrintToString(c.switches);
  }
}

TEST(FramePolicy, TheRecenterFlagIsClearedAfterTheDelayOfEachRequestOrNever) {
  const Behaviour late = BehaviourOf({"--recenter-delay-ms", "1200"});
  FramePolicy policy(late);
  const std::pair<std::chrono::milliseconds, bool> frames[] = {
      {0ms, false},    {1199ms, false}, {1200ms, true}, {1300ms, false},
      {5000ms, false}, {6199ms, false}, {6200ms, true}};
  for (const auto& [at, clears] : frames) {
    // The flag is down at 1300 ms; the next request is seen at 5000 ms.
    EXPECT_EQ(policy.ClearsRecenterFlag(kStart + at, at != 1300ms), clears) << at.count();
  }
  const Behaviour ignoring = BehaviourOf({"--ignore-recenter"});
  FramePolicy never(ignoring);
  EXPECT_FALSE(never.ClearsRecenterFlag(kStart, true));
  EXPECT_FALSE(never.ClearsRecenterFlag(kStart + 60s, true));
}

TEST(FramePolicy, ARareFetcherOfRenderDescriptionsStaysAtItsCountInAny10Seconds) {
  const Behaviour spaced = BehaviourOf({"--render-desc-per-10s=20"});
  FramePolicy twenty(spaced);
  for (const auto& [at, fetches] : {std::pair{0ms, true}, std::pair{499ms, false},
                                    std::pair{500ms, true}, std::pair{999ms, false}}) {
    EXPECT_EQ(twenty.FetchesRenderDescriptions(kStart + at), fetches) << at.count();
  }
  // 90 frames a second for a minute: 19 fetches in the first 10 s, never more in later ones.
  const Behaviour rare = BehaviourOf({"--render-desc-per-10s", "19"});
  FramePolicy nineteen(rare);
  const auto period = std::chrono::duration_cast<Clock::duration>(1s) / 90;
  for (int window = 0; window < 6; ++window) {
    int fetches = 0;
    const Clock::time_point from = kStart + window * 10s;
    for (Clock::time_point frame = from; frame < from + 10s; frame += period) {
      fetches += nineteen.FetchesRenderDescriptions(frame) ? 1 : 0;
    }
    EXPECT_TRUE(window == 0 ? fetches == 19 : fetches <= 19) << window << ": " << fetches;
  }
}

TEST(FramePolicy, RuntimeErrorsComeHalfASecondApartAndPropertiesAreReadOnceASecond) {
  const Behaviour behaviour =
      BehaviourOf({"--runtime-errors", "2", "--read-property", "Name", "--read-property", "User"});
  FramePolicy policy(behaviour);
  // Frames at 0, 400, 600, 1000 (late: 1300), 1900 and 2400 ms after the first.
  std::string errors, reads;
  for (const auto after : {0ms, 400ms, 600ms, 1300ms, 1900ms, 2400ms}) {
    errors += std::to_string(policy.CausesRuntimeError(kStart + after));
    reads += policy.ReadsProperties(kStart + after) ? '1' : '0';
  }
  EXPECT_EQ(errors, "001200");
  EXPECT_EQ(reads, "100101");
}

}  // namespace
}  // namespace sampleapp
