#include "frame_policy.h"

#include <gtest/gtest.h>

#include <vector>

#include "switches.h"

// The sample application's frame decisions: when it commits its swap chain, clears the
// recenter flag and fetches the render descriptions, for the behaviours its switches choose.

namespace sampleapp {
namespace {

using namespace std::chrono_literals;

Behaviour BehaviourOf(const std::vector<std::string>& switches) {
  const SwitchesOutcome outcome = ParseSwitches(switches);
  EXPECT_TRUE(outcome.error.empty()) << outcome.error;
  return outcome.behaviour;
}

// The application's view of one frame: whether it is visible, whether the dash is over it.
struct Shown {
  bool visible;
  bool overlay;
};
constexpr Shown kVisible{true, false};
constexpr Shown kBehindDash{false, true};
constexpr Shown kHidden{false, false};

class FramePolicyTest : public testing::Test {
 protected:
  /// Whether each of the frames, one every `period` from now on, commits.
  std::vector<bool> Commits(FramePolicy& policy, const std::vector<Shown>& frames,
                            Clock::duration period = 100ms) {
    std::vector<bool> commits;
    for (const Shown& frame : frames) {
      commits.push_back(policy.CommitsSwapChain(now_, frame.visible, frame.overlay));
      now_ += period;
    }
    return commits;
  }

  Clock::time_point now_ = Clock::time_point() + 1000s;
};

TEST_F(FramePolicyTest, AWellBehavedApplicationCommitsOnlyWhileVisible) {
  const Behaviour behaviour = BehaviourOf({});
  FramePolicy policy(behaviour);
  EXPECT_EQ(Commits(policy, {kVisible, kBehindDash, kHidden, kVisible}),
            (std::vector<bool>{true, false, false, true}));
}

TEST_F(FramePolicyTest, AFocusAwareApplicationKeepsCommittingBehindTheDashOnly) {
  const Behaviour behaviour = BehaviourOf({"--focus-aware"});
  EXPECT_TRUE(behaviour.focusAware);
  FramePolicy policy(behaviour);
  EXPECT_EQ(Commits(policy, {kVisible, kBehindDash, kBehindDash, kHidden, kVisible}),
            (std::vector<bool>{true, true, true, false, true}));
}

TEST_F(FramePolicyTest, AFocusAwareApplicationCanStopBehindTheDash) {
  const Behaviour behaviour = BehaviourOf({"--focus-aware", "--no-commit-in-dash"});
  FramePolicy policy(behaviour);
  EXPECT_EQ(Commits(policy, {kVisible, kBehindDash, kVisible}),
            (std::vector<bool>{true, false, true}));
}

TEST_F(FramePolicyTest, TheDashSwitchesNothingForAnApplicationThatIsNotFocusAware) {
  const Behaviour behaviour = BehaviourOf({"--no-commit-in-dash"});
  FramePolicy policy(behaviour);
  EXPECT_EQ(Commits(policy, {kBehindDash, kVisible}), (std::vector<bool>{false, true}));
}

TEST_F(FramePolicyTest, CommitsCanGoOnWhileNotShownOrStopWhileVisible) {
  Behaviour behaviour = BehaviourOf({"--commit-when-not-visible"});
  FramePolicy always(behaviour);
  EXPECT_EQ(Commits(always, {kVisible, kHidden, kBehindDash}),
            (std::vector<bool>{true, true, true}));

  const Behaviour onlyHidden =
      BehaviourOf({"--no-commit-when-visible", "--commit-when-not-visible"});
  FramePolicy inverted(onlyHidden);
  EXPECT_EQ(Commits(inverted, {kVisible, kHidden, kVisible}),
            (std::vector<bool>{false, true, false}));
}

TEST_F(FramePolicyTest, AStrayCommitComesOnceIntoEveryStretchNotShown) {
  const Behaviour behaviour = BehaviourOf({"--stray-commit-after-ms", "250"});
  EXPECT_EQ(behaviour.strayCommitAfter, 250ms);
  FramePolicy policy(behaviour);
  // Hidden from the second frame on (at 100 ms): the stray commit comes with the first frame
  // from 350 ms on, the one at 400 ms.
  EXPECT_EQ(Commits(policy, {kVisible, kHidden, kHidden, kHidden, kHidden, kHidden, kHidden}),
            (std::vector<bool>{true, false, false, false, true, false, false}));
  // Shown again, then hidden: one more, 250 ms into the new stretch.
  EXPECT_EQ(Commits(policy, {kVisible, kHidden, kHidden, kHidden, kHidden, kHidden}),
            (std::vector<bool>{true, false, false, false, true, false}));
}

TEST_F(FramePolicyTest, AFocusAwareApplicationIsShownBehindTheDashAndMakesNoStrayCommitThere) {
  const Behaviour behaviour = BehaviourOf({"--focus-aware", "--stray-commit-after-ms=100"});
  FramePolicy policy(behaviour);
  EXPECT_EQ(Commits(policy, {kBehindDash, kBehindDash, kBehindDash}),
            (std::vector<bool>{true, true, true}));
  EXPECT_EQ(Commits(policy, {kHidden, kHidden, kHidden}), (std::vector<bool>{false, true, false}));
}

TEST(FramePolicyRecenter, AWellBehavedApplicationClearsTheFlagAtOnce) {
  const Behaviour behaviour = BehaviourOf({});
  FramePolicy policy(behaviour);
  const Clock::time_point start = Clock::time_point() + 50s;
  EXPECT_FALSE(policy.ClearsRecenterFlag(start, false));
  EXPECT_TRUE(policy.ClearsRecenterFlag(start + 11ms, true));
}

TEST(FramePolicyRecenter, ALateApplicationClearsItOnlyAfterItsDelay) {
  const Behaviour behaviour = BehaviourOf({"--recenter-delay-ms", "1200"});
  FramePolicy policy(behaviour);
  const Clock::time_point raised = Clock::time_point() + 50s;
  EXPECT_FALSE(policy.ClearsRecenterFlag(raised, true));
  EXPECT_FALSE(policy.ClearsRecenterFlag(raised + 1199ms, true));
  EXPECT_TRUE(policy.ClearsRecenterFlag(raised + 1200ms, true));
  // A new request waits its own delay.
  EXPECT_FALSE(policy.ClearsRecenterFlag(raised + 1300ms, false));
  EXPECT_FALSE(policy.ClearsRecenterFlag(raised + 5000ms, true));
  EXPECT_TRUE(policy.ClearsRecenterFlag(raised + 6200ms, true));
}

TEST(FramePolicyRecenter, AnApplicationThatIgnoresTheRequestNeverClearsIt) {
  const Behaviour behaviour = BehaviourOf({"--ignore-recenter"});
  FramePolicy policy(behaviour);
  const Clock::time_point raised = Clock::time_point() + 50s;
  EXPECT_FALSE(policy.ClearsRecenterFlag(raised, true));
  EXPECT_FALSE(policy.ClearsRecenterFlag(raised + 60s, true));
}

TEST(FramePolicyRenderDescriptions, AWellBehavedApplicationFetchesThemEveryFrame) {
  const Behaviour behaviour = BehaviourOf({});
  FramePolicy policy(behaviour);
  const Clock::time_point start = Clock::time_point() + 50s;
  EXPECT_TRUE(policy.FetchesRenderDescriptions(start));
  EXPECT_TRUE(policy.FetchesRenderDescriptions(start));
  EXPECT_TRUE(policy.FetchesRenderDescriptions(start + 11ms));
}

// Frames at 90 Hz for 10 s starting at `start`: the number of fetches.
int FetchesIn10Seconds(FramePolicy& policy, Clock::time_point start) {
  int fetches = 0;
  const auto period = std::chrono::duration_cast<Clock::duration>(1s) / 90;
  for (Clock::time_point frame = start; frame < start + 10s; frame += period) {
    fetches += policy.FetchesRenderDescriptions(frame) ? 1 : 0;
  }
  return fetches;
}

TEST(FramePolicyRenderDescriptions, ARareFetcherStaysAtItsCountInAny10Seconds) {
  const Behaviour behaviour = BehaviourOf({"--render-desc-per-10s", "19"});
  EXPECT_EQ(behaviour.renderDescriptionsPer10s, 19);
  FramePolicy policy(behaviour);
  const Clock::time_point start = Clock::time_point() + 50s;
  EXPECT_EQ(FetchesIn10Seconds(policy, start), 19);
  // Later windows never hold more, and the gaps stay at least 10 s / 19.
  for (int window = 1; window <= 5; ++window) {
    EXPECT_LE(FetchesIn10Seconds(policy, start + window * 10s), 19) << window;
  }
}

TEST(FramePolicyRenderDescriptions, ExactlyTheSpacingAllowsTheNextFetch) {
  const Behaviour behaviour = BehaviourOf({"--render-desc-per-10s=20"});
  FramePolicy policy(behaviour);
  const Clock::time_point start = Clock::time_point() + 50s;
  EXPECT_TRUE(policy.FetchesRenderDescriptions(start));
  EXPECT_FALSE(policy.FetchesRenderDescriptions(start + 499ms));
  EXPECT_TRUE(policy.FetchesRenderDescriptions(start + 500ms));
  EXPECT_FALSE(policy.FetchesRenderDescriptions(start + 999ms));
}

TEST(FramePolicyRuntime, ErrorsComeHalfASecondApartAndPropertiesAreReadOnceASecond) {
  const Behaviour behaviour =
      BehaviourOf({"--runtime-errors", "2", "--read-property", "Name", "--read-property", "User"});
  FramePolicy policy(behaviour);
  const Clock::time_point first = Clock::time_point() + 50s;
  // Frames at 0, 400, 600, 1000 (late: 1300), 1900 and 2400 ms after the first.
  std::vector<int> errors;
  std::vector<bool> reads;
  for (const auto after : {0ms, 400ms, 600ms, 1300ms, 1900ms, 2400ms}) {
    errors.push_back(policy.CausesRuntimeError(first + after));
    reads.push_back(policy.ReadsProperties(first + after));
  }
  EXPECT_EQ(errors, (std::vector<int>{0, 0, 1, 2, 0, 0}));
  EXPECT_EQ(reads, (std::vector<bool>{true, false, false, true, false, true}));
  const Behaviour wellBehaved = BehaviourOf({});
  FramePolicy quiet(wellBehaved);
  EXPECT_EQ(quiet.CausesRuntimeError(first + 1s), 0);
  EXPECT_FALSE(quiet.ReadsProperties(first));
}

}  // namespace
}  // namespace sampleapp
