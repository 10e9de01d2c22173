#include "platform/named_event.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include "platform/machine.h"
#include "support/child_process.h"

namespace platform {
namespace {

using testsupport::RunInChild;

class NamedEventTest : public testing::Test {
 protected:
  void SetUp() override {
    prefix_ = testing::TempDir() + "named_event_prefix_" + std::to_string(getpid());
    std::filesystem::remove_all(prefix_);
    std::filesystem::create_directories(prefix_ + "/run/corvia");
    setenv(MachinePrefixVariable, prefix_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv(MachinePrefixVariable);
    std::filesystem::remove_all(prefix_);
  }

  std::string prefix_;
};

TEST_F(NamedEventTest, AMissingEventIsNotSignalledAndIsNotCreated) {
  EXPECT_FALSE(IsNamedEventSignalled("CorviaHMDConnected"));
  EXPECT_FALSE(std::filesystem::exists(prefix_ + "/run/corvia/CorviaHMDConnected"));
}

TEST_F(NamedEventTest, SignalledWhileTheOwnerHoldsIt) {
  {
    std::optional<OwnedNamedEvent> event = OwnedNamedEvent::Create("CorviaHMDConnected", true);
    ASSERT_TRUE(event.has_value());
    EXPECT_TRUE(IsNamedEventSignalled("CorviaHMDConnected"));
    EXPECT_FALSE(IsNamedEventSignalled("OtherEvent"));
    event->Reset();
    EXPECT_FALSE(IsNamedEventSignalled("CorviaHMDConnected"));
    ASSERT_TRUE(event->Set());
    EXPECT_TRUE(IsNamedEventSignalled("CorviaHMDConnected"));
  }
  EXPECT_FALSE(IsNamedEventSignalled("CorviaHMDConnected"));
  EXPECT_FALSE(std::filesystem::exists(prefix_ + "/run/corvia/CorviaHMDConnected"));
}

TEST_F(NamedEventTest, CreatedUnsignalledItIsNotSignalled) {
  std::optional<OwnedNamedEvent> event = OwnedNamedEvent::Create("CorviaHMDConnected", false);
  ASSERT_TRUE(event.has_value());
  EXPECT_TRUE(std::filesystem::exists(prefix_ + "/run/corvia/CorviaHMDConnected"));
  EXPECT_FALSE(IsNamedEventSignalled("CorviaHMDConnected"));
}

TEST_F(NamedEventTest, OtherProcessesSeeTheSignalAndItEndsWithTheOwner) {
  std::optional<OwnedNamedEvent> event = OwnedNamedEvent::Create("CorviaHMDConnected", true);
  ASSERT_TRUE(event.has_value());
  EXPECT_EQ(
      RunInChild([] { return IsNamedEventSignalled("CorviaHMDConnected") ? 0 : 1; }).exitStatus, 0);
  // The signal of an owner that ends vanishes with it.
  std::optional<OwnedNamedEvent> moved = std::move(event);
  moved.reset();
  EXPECT_EQ(
      RunInChild([] { return IsNamedEventSignalled("CorviaHMDConnected") ? 0 : 1; }).exitStatus, 1);
}

TEST_F(NamedEventTest, OnlyOneOwnerCanSignalTheEvent) {
  std::optional<OwnedNamedEvent> first = OwnedNamedEvent::Create("CorviaHMDConnected", true);
  ASSERT_TRUE(first.has_value());
  std::optional<OwnedNamedEvent> second = OwnedNamedEvent::Create("CorviaHMDConnected", false);
  ASSERT_TRUE(second.has_value());
  EXPECT_FALSE(second->Set());
  EXPECT_FALSE(OwnedNamedEvent::Create("CorviaHMDConnected", true).has_value());
  first->Reset();
  EXPECT_TRUE(second->Set());
}

TEST_F(NamedEventTest, CreationFailsWithoutTheRunFolder) {
  std::filesystem::remove_all(prefix_ + "/run");
  EXPECT_FALSE(OwnedNamedEvent::Create("CorviaHMDConnected", true).has_value());
}

}  // namespace
}  // namespace platform
