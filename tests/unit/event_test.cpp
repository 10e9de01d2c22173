#include "platform/event.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/clock.h"

namespace platform {
namespace {

TEST(Event, AnAutoResetEventReleasesOneWaitPerSignal) {
  Event event = *Event::Create(EventReset::kAuto);
  EXPECT_FALSE(event.Wait(0));
  event.Set();
  event.Set();  // a second Set of a signalled event adds nothing
  EXPECT_TRUE(event.Wait(0));
  EXPECT_FALSE(event.Wait(0));
  Event initially = *Event::Create(EventReset::kAuto, true);
  EXPECT_TRUE(initially.Wait(0));
}

TEST(Event, AManualResetEventStaysSignalledUntilReset) {
  Event event = *Event::Create(EventReset::kManual);
  event.Set();
  EXPECT_TRUE(event.Wait(0));
  EXPECT_TRUE(event.Wait(0));
  event.Reset();
  EXPECT_FALSE(event.Wait(0));
  event.Reset();  // resetting a reset event is harmless
  EXPECT_FALSE(event.Wait(0));
}

TEST(Event, AWaitEndsWhenAnotherThreadSetsTheEvent) {
  Event event = *Event::Create(EventReset::kAuto);
  std::thread setter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    event.Set();
  });
  EXPECT_TRUE(event.Wait(kInfinite));
  setter.join();
}

#ifndef _WIN32  // descriptors; the Windows tests adopt handles of their own
TEST(Event, AdoptsOnlyEventHandles) {
  Event event = *Event::Create(EventReset::kAuto);
  std::optional<Event> copy =
      Event::Adopt(OwnedHandle(dup(static_cast<int>(event.Handle().Get()))), EventReset::kAuto);
  ASSERT_TRUE(copy);
  copy->Set();  // the two handles are one event
  EXPECT_TRUE(event.Wait(0));
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  OwnedHandle readEnd(pipeEnds[0]);
  OwnedHandle writeEnd(pipeEnds[1]);
  EXPECT_FALSE(Event::Adopt(std::move(readEnd), EventReset::kAuto));
  EXPECT_FALSE(Event::Adopt(OwnedHandle(), EventReset::kAuto));
}
#endif

TEST(WaitForMultiple, ReturnsTheLowestSignalledIndexAndResetsOnlyThatEvent) {
  Event first = *Event::Create(EventReset::kAuto);
  Event second = *Event::Create(EventReset::kAuto);
  Event third = *Event::Create(EventReset::kManual);
  Waitable* const all[] = {&first, &second, &third};
  second.Set();
  third.Set();
  EXPECT_EQ(WaitForMultiple(all, 0), 1u);
  EXPECT_EQ(WaitForMultiple(all, 0), 2u);  // second was reset by the wait
  EXPECT_EQ(WaitForMultiple(all, 0), 2u);  // manual: still signalled
  first.Set();
  EXPECT_EQ(WaitForMultiple(all, 0), 0u);
}

TEST(WaitForMultiple, TimesOutAfterTheGivenTime) {
  Event event = *Event::Create(EventReset::kAuto);
  Waitable* const one[] = {&event};
  const uint64_t start = TickCountMs();
  EXPECT_EQ(WaitForMultiple(one, 50), kWaitTimeout);
  EXPECT_GE(TickCountMs() - start, 50u);
  EXPECT_EQ(WaitForSingle(event, 0), kWaitTimeout);
}

TEST(WaitForMultiple, RejectsNoObjectsOrTooMany) {
  EXPECT_EQ(WaitForMultiple({}, 0), kWaitFailed);
  Event event = *Event::Create(EventReset::kAuto);
  std::vector<Waitable*> many(kMaximumWaitObjects + 1, &event);
  EXPECT_EQ(WaitForMultiple(many, 0), kWaitFailed);
}

}  // namespace
}  // namespace platform
