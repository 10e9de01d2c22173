#include "platform/process_handle.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {
namespace {

TEST(ProcessHandle, IsSignalledOnceTheProcessHasEnded) {
  int gate[2];
  ASSERT_EQ(pipe(gate), 0);
  const pid_t child = fork();
  if (child == 0) {
    close(gate[1]);
    char byte = 0;
    [[maybe_unused]] const ssize_t got = read(gate[0], &byte, 1);
    _exit(0);
  }
  close(gate[0]);
  std::optional<ProcessHandle> handle = ProcessHandle::Open(static_cast<uint32_t>(child));
  ASSERT_TRUE(handle);
  EXPECT_EQ(handle->ProcessId(), static_cast<uint32_t>(child));
  EXPECT_FALSE(handle->HasEnded());
  close(gate[1]);  // lets the child end
  EXPECT_EQ(WaitForSingle(*handle, 10000), 0u);
  EXPECT_TRUE(handle->HasEnded());
  waitpid(child, nullptr, 0);
  EXPECT_FALSE(ProcessHandle::Open(static_cast<uint32_t>(child)));  // gone
}

TEST(ProcessHandle, OpensTheCurrentProcessButNotProcessZero) {
  std::optional<ProcessHandle> self = ProcessHandle::Open(CurrentProcessId());
  ASSERT_TRUE(self);
  EXPECT_FALSE(self->HasEnded());
  EXPECT_EQ(CurrentProcessId(), static_cast<uint32_t>(getpid()));
  EXPECT_FALSE(ProcessHandle::Open(0));
}

}  // namespace
}  // namespace platform
