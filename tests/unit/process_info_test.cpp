#include "platform/process_info.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "platform/posix/proc_maps.h"
#include "support/child_process.h"

// A process's parent, name and modules where no e2e run shows them. The orphan of a launcher
// that exits at once keeps its creator in ValidatorE2E.ARunReportsEveryStep...; a live
// application's modules are read in PackageAndListeningE2E.

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
  EXPECT_EQ(ProcessExecutableBaseName(self), "corvia_unit_tests");
  EXPECT_EQ(ProcessExecutableBaseName(0), std::nullopt);
  EXPECT_EQ(ProcessExecutableBaseName(0x7FFFFFFE), std::nullopt);
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
}

}  // namespace
}  // namespace platform
