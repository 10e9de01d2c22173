#include "platform/console_control.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <iostream>
#include <thread>

#include "support/child_process.h"

namespace platform {
namespace {

using testsupport::RunInChild;

std::atomic<int> lastEvent{-1};

bool RecordAndSwallowBreakOnly(uint32_t event) {
  lastEvent.store(static_cast<int>(event));
  return event == kCtrlBreakEvent;
}

bool RecordAndSwallow(uint32_t event) {
  lastEvent.store(static_cast<int>(event));
  return true;
}

// Waits up to five seconds for the handler to see `event`.
bool HandlerSaw(int event) {
  for (int i = 0; i < 500; ++i) {
    if (lastEvent.load() == event) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

TEST(ConsoleControl, BreakIsSwallowedAndCtrlCEndsTheProcess) {
  const auto run = RunInChild([] {
    StartConsoleControl();
    SetConsoleControlHandler(RecordAndSwallowBreakOnly);
    kill(getpid(), SIGQUIT);
    if (!HandlerSaw(kCtrlBreakEvent)) return 1;
    std::cout << "survived break" << std::endl;
    kill(getpid(), SIGINT);
    std::this_thread::sleep_for(std::chrono::seconds(5));
    return 2;
  });
  EXPECT_EQ(run.out, "survived break\n");
  EXPECT_EQ(run.exitStatus, 128 + SIGINT);
}

TEST(ConsoleControl, EventsMapToTheWindowsEventTypes) {
  for (const auto& [signal, event] :
       {std::pair{SIGINT, kCtrlCEvent}, std::pair{SIGHUP, kCtrlCloseEvent},
        std::pair{SIGTERM, kCtrlShutdownEvent}, std::pair{SIGQUIT, kCtrlBreakEvent}}) {
    testsupport::ExpectInChild([signal = signal, event = event] {
      StartConsoleControl();
      SetConsoleControlHandler(RecordAndSwallow);
      kill(getpid(), signal);
      EXPECT_TRUE(HandlerSaw(static_cast<int>(event))) << "signal " << signal;
    });
  }
}

// The first event's handler stays busy (as the first Ctrl+C does, tearing the run down); the
// second one's returns at once.
std::atomic<int> eventsSeen{0};
bool BusyFirstTime(uint32_t) {
  if (eventsSeen.fetch_add(1) == 0) std::this_thread::sleep_for(std::chrono::seconds(20));
  return false;
}

TEST(ConsoleControl, ASecondEventIsNotHeldBackByTheFirstOnesHandler) {
  const auto start = std::chrono::steady_clock::now();
  const auto run = RunInChild([] {
    StartConsoleControl();
    SetConsoleControlHandler(BusyFirstTime);
    kill(getpid(), SIGINT);
    while (eventsSeen.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    kill(getpid(), SIGINT);
    std::this_thread::sleep_for(std::chrono::seconds(30));
    return 2;
  });
  EXPECT_EQ(run.exitStatus, 128 + SIGINT);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(ConsoleControl, WithoutAHandlerTheDefaultEndsTheProcess) {
  const auto run = RunInChild([] {
    StartConsoleControl();
    kill(getpid(), SIGTERM);
    std::this_thread::sleep_for(std::chrono::seconds(5));
    return 2;
  });
  EXPECT_EQ(run.exitStatus, 128 + SIGTERM);
}

}  // namespace
}  // namespace platform
