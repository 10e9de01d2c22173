#include "platform/process_info.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "platform/posix/proc_maps.h"
#include "platform/process_launch.h"
#include "platform/waitable.h"
#include "support/child_process.h"
#include "support/read_file.h"

namespace platform {
namespace {

TEST(ProcessInfo, ParentIsTheProcessThatForkedUsAnUnknownProcessItselfWithoutAName) {
  const uint32_t self = static_cast<uint32_t>(getpid());
  testsupport::ExpectInChild([self] {
    EXPECT_EQ(ParentProcessId(), self);
    EXPECT_EQ(ParentProcessId(static_cast<uint32_t>(getpid())), self);
  });
  // Above the kernel's largest process id (4194304).
  EXPECT_EQ(ParentProcessId(0x7FFFFFF0u), 0x7FFFFFF0u);
  // The name of a live process: MainFlowTelemetry.TheLaunchEventNamesTheValidatorAndItsParent.
  EXPECT_EQ(ProcessExecutableBaseName(0), std::nullopt);
  EXPECT_EQ(ProcessExecutableBaseName(0x7FFFFFFE), std::nullopt);
}

TEST(ProcessInfo, AnOrphanOfALaunchedProcessKeepsItsCreator) {
  testsupport::ExpectInChild([] {
    const std::string file = testing::TempDir() + "process_info_orphan";
    std::filesystem::remove(file);
    ProcessInformation launcher;
    const ApplicationLaunch launch{"/bin/sh", "", {"-c", "sleep 30 & echo $! >" + file}};
    ASSERT_TRUE(StartApplicationProcess(launch, launcher));
    ASSERT_EQ(WaitForSingle(*launcher.process, 10000), 0u);
    const auto orphan = static_cast<uint32_t>(std::stoul(testsupport::ReadFile(file)));
    EXPECT_EQ(ParentProcessId(orphan), launcher.processId);
    kill(static_cast<pid_t>(orphan), SIGKILL);
  });
}

TEST(ProcessModules, TheFilesMappedIntoTheProcessEachOnceInTheKernelsOrder) {
  EXPECT_EQ(MappedFiles("55d0-55d1 r--p 00000000 08:01 131 /opt/app/game\n"
                        "55d1-55d2 r-xp 00001000 08:01 131 /opt/app/game\n"
                        "7f00-7f01 rw-p 00000000 00:00 0 \n"
                        "7f01-7f02 r--p 00000000 00:05 77   /memfd:ring (deleted)\n"
                        "7f02-7f03 r--p 00000000 08:01 9    /opt/My Game/libfoo.so (deleted)\n"
                        "7f03-7f04 rw-p 00000000 00:00 0    [heap]\n"
                        "7f04-7f05 r--p 00000000 08:01 131 /opt/app/game"),
            (std::vector<std::string>{"/opt/app/game", "/memfd:ring (deleted)",
                                      "/opt/My Game/libfoo.so (deleted)"}));

  const auto modules = ListProcessModules(*ProcessHandle::Open(static_cast<uint32_t>(getpid())));
  ASSERT_TRUE(modules.has_value());
  EXPECT_EQ(
      std::count_if(modules->begin(), modules->end(),
                    [](const std::string& path) { return path.ends_with("/corvia_unit_tests"); }),
      1);
}

}  // namespace
}  // namespace platform
