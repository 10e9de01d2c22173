#include "platform/process_info.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/process_launch.h"
#include "platform/waitable.h"
#include "support/child_process.h"
#include "support/read_file.h"

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

TEST(ProcessInfo, AnOrphanOfALaunchedProcessKeepsItsCreator) {
  const auto run = testsupport::RunInChild([] {
    const std::string file = testing::TempDir() + "process_info_orphan";
    std::filesystem::remove(file);
    ProcessInformation launcher;
    const ApplicationLaunch launch{"/bin/sh", "", {"-c", "sleep 30 & echo $! >" + file}};
    if (!StartApplicationProcess(launch, launcher)) return 1;
    if (WaitForSingle(*launcher.process, 10000) != 0) return 2;
    const auto orphan = static_cast<uint32_t>(std::stoul(testsupport::ReadFile(file)));
    const uint32_t creator = ParentProcessId(orphan);
    kill(static_cast<pid_t>(orphan), SIGKILL);
    return creator == launcher.processId ? 0 : 3;
  });
  EXPECT_EQ(run.exitStatus, 0);
}

TEST(ProcessInfo, ExecutableBaseName) {
  EXPECT_EQ(ProcessExecutableBaseName(static_cast<uint32_t>(getpid())), "corvia_unit_tests");
  EXPECT_EQ(ProcessExecutableBaseName(0), std::nullopt);
  EXPECT_EQ(ProcessExecutableBaseName(0x7FFFFFFE), std::nullopt);
}

}  // namespace
}  // namespace platform
