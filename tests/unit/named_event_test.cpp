#include "platform/named_event.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "platform/machine.h"
#include "support/child_process.h"

namespace platform {
namespace {

using testsupport::RunInChild;

class NamedEventTest : public testing::Test {
 protected:
  void SetUp() override {
    prefix_ = testing::TempDir() + "named_event_prefix";
    std::filesystem::remove_all(prefix_);
    std::filesystem::create_directories(prefix_ + "/run/corvia");
    setenv(MachinePrefixVariable, prefix_.c_str(), 1);
  }
  void TearDown() override { unsetenv(MachinePrefixVariable); }

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

TEST_F(NamedEventTest, CreationFailsWithoutTheRunFolder) {
  std::filesystem::remove_all(prefix_ + "/run");
  EXPECT_FALSE(OwnedNamedEvent::Create("CorviaHMDConnected", true).has_value());
}

}  // namespace
}  // namespace platform
