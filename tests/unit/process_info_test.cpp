#include "platform/process_info.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "support/child_process.h"

namespace platform {
namespace {

TEST(ProcessInfo, ParentIsTheProcessThatForkedUs) {
  const uint32_t self = static_cast<uint32_t>(getpid());
  const auto run = testsupport::RunInChild([self] {
    const bool current = ParentProcessId() == self;
    const bool byId = ParentProcessId(static_cast<uint32_t>(getpid())) == self;
    return current && byId ? 0 : 1;
  });
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(ParentProcessId(), static_cast<uint32_t>(getppid()));
  EXPECT_EQ(ParentProcessId(self), static_cast<uint32_t>(getppid()));
}

TEST(ProcessInfo, ParentOfAnUnknownProcessIsTheProcessItself) {
  // Above the kernel's largest process id (4194304).
  EXPECT_EQ(ParentProcessId(0x7FFFFFF0u), 0x7FFFFFF0u);
}

TEST(ProcessInfo, ExecutableBaseName) {
  EXPECT_EQ(ProcessExecutableBaseName(static_cast<uint32_t>(getpid())), "corvia_unit_tests");
  EXPECT_EQ(ProcessExecutableBaseName(0), std::nullopt);
  EXPECT_EQ(ProcessExecutableBaseName(0x7FFFFFFE), std::nullopt);
}

}  // namespace
}  // namespace platform
