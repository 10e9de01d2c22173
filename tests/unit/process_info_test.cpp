#include "platform/process_info.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "support/child_process.h"

namespace platform {
namespace {

TEST(ParentProcessId, IsTheCreatorOfTheProcess) {
  EXPECT_EQ(ParentProcessId(static_cast<uint32_t>(getpid())), static_cast<uint32_t>(getppid()));
  const uint32_t self = static_cast<uint32_t>(getpid());
  const auto child = testsupport::RunInChild(
      [self] { return ParentProcessId(static_cast<uint32_t>(getpid())) == self ? 0 : 1; });
  EXPECT_EQ(child.exitStatus, 0);
}

TEST(ParentProcessId, IsTheProcessItselfWhenItCannotBeFound) {
  // Above the kernel's largest process id (4194304).
  EXPECT_EQ(ParentProcessId(0x7FFFFFF0u), 0x7FFFFFF0u);
}

}  // namespace
}  // namespace platform
