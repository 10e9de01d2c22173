#include "stream_policy.h"

#include <gtest/gtest.h>

namespace luxsim {
namespace {

Session MakeSession(SessionId id, uint32_t pid) {
  Session session;
  session.id = id;
  session.pid = pid;
  return session;
}

TEST(EventOutputSwitch, OnWhileAnyClientHasItOn) {
  EventOutputSwitch output;
  EXPECT_FALSE(output.IsOn());
  output.Set(1, true);
  output.Set(2, true);
  output.Set(1, false);
  EXPECT_TRUE(output.IsOn());
  output.Set(2, true);
  output.Forget(2);
  EXPECT_FALSE(output.IsOn());
  // Switching off what was never on changes nothing.
  output.Set(3, false);
  EXPECT_FALSE(output.IsOn());
}

TEST(FrequentEventsFilter, EveryPerFrameRecordOfTheFrequentProcessGoesOut) {
  FrequentEventsFilter filter;
  const Session session = MakeSession(1, 500);
  for (int round = 0; round < 3; ++round) {
    for (const PerFrameRecord kind :
         {PerFrameRecord::kFrameSubmitted, PerFrameRecord::kLayersSubmitted,
          PerFrameRecord::kRenderPoseSubmitted, PerFrameRecord::kRenderDescFetched,
          PerFrameRecord::kSwapChainCommitted}) {
      EXPECT_TRUE(filter.Admits(kind, session, 500));
    }
  }
}

TEST(FrequentEventsFilter, OtherProcessesGetOnlyTheirFirstFrameAndLayersPerSession) {
  FrequentEventsFilter filter;
  const Session first = MakeSession(1, 500);
  for (const uint32_t frequentPid : {0u, 600u}) {
    EXPECT_FALSE(filter.Admits(PerFrameRecord::kRenderDescFetched, first, frequentPid));
    EXPECT_FALSE(filter.Admits(PerFrameRecord::kSwapChainCommitted, first, frequentPid));
    EXPECT_FALSE(filter.Admits(PerFrameRecord::kRenderPoseSubmitted, first, frequentPid));
  }
  EXPECT_TRUE(filter.Admits(PerFrameRecord::kFrameSubmitted, first, 0));
  EXPECT_FALSE(filter.Admits(PerFrameRecord::kFrameSubmitted, first, 0));
  EXPECT_TRUE(filter.Admits(PerFrameRecord::kLayersSubmitted, first, 600));
  EXPECT_FALSE(filter.Admits(PerFrameRecord::kLayersSubmitted, first, 600));
  // A new session of the same process has a first frame of its own.
  const Session second = MakeSession(2, 500);
  EXPECT_TRUE(filter.Admits(PerFrameRecord::kFrameSubmitted, second, 0));
  // Once the process asks for frequent events, every frame goes out.
  EXPECT_TRUE(filter.Admits(PerFrameRecord::kFrameSubmitted, first, 500));
  EXPECT_TRUE(filter.Admits(PerFrameRecord::kSwapChainCommitted, first, 500));
}

TEST(FrequentEventsFilter, ASessionThatEndedIsForgotten) {
  FrequentEventsFilter filter;
  const Session session = MakeSession(7, 500);
  EXPECT_TRUE(filter.Admits(PerFrameRecord::kFrameSubmitted, session, 0));
  filter.Forget(7);
  EXPECT_TRUE(filter.Admits(PerFrameRecord::kFrameSubmitted, session, 0));
}

TEST(LostFrameRule, AFrameIsLostWhenTheVisibleSessionDeliveredNothingSinceTheLastOne) {
  LostFrameRule rule;
  Session app = MakeSession(1, 500);
  // The first compositor frame in front is not judged.
  EXPECT_FALSE(rule.OnCompositorFrame(&app));
  EXPECT_TRUE(rule.OnCompositorFrame(&app));
  app.framesSubmitted = 1;
  EXPECT_FALSE(rule.OnCompositorFrame(&app));
  EXPECT_TRUE(rule.OnCompositorFrame(&app));
  // Two frames in one compositor frame make up for nothing lost before.
  app.framesSubmitted = 3;
  EXPECT_FALSE(rule.OnCompositorFrame(&app));
  EXPECT_TRUE(rule.OnCompositorFrame(&app));
}

TEST(LostFrameRule, NothingIsLostWithoutAVisibleSessionAndANewSessionStartsAfresh) {
  LostFrameRule rule;
  EXPECT_FALSE(rule.OnCompositorFrame(nullptr));
  Session first = MakeSession(1, 500);
  Session second = MakeSession(2, 600);
  second.framesSubmitted = 40;
  EXPECT_FALSE(rule.OnCompositorFrame(&first));
  EXPECT_FALSE(rule.OnCompositorFrame(&second));
  EXPECT_TRUE(rule.OnCompositorFrame(&second));
  EXPECT_FALSE(rule.OnCompositorFrame(nullptr));
  EXPECT_FALSE(rule.OnCompositorFrame(&second));
  EXPECT_TRUE(rule.OnCompositorFrame(&second));
}

}  // namespace
}  // namespace luxsim
