#include "platform/machine.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace platform {
namespace {

TEST(MachinePath, JoinsThePrefixAndTheRelativePath) {
  unsetenv(MachinePrefixVariable);
  EXPECT_EQ(MachinePath("run/corvia/x"), "/run/corvia/x");
  setenv(MachinePrefixVariable, "/tmp/m", 1);
  EXPECT_EQ(MachinePath("/etc/corvia"), "/tmp/m/etc/corvia");
  EXPECT_EQ(RuntimeRunFolder(), "/tmp/m/run/corvia/");
  setenv(MachinePrefixVariable, "/tmp/m/", 1);
  EXPECT_EQ(MachinePath("dev/COM1"), "/tmp/m/dev/COM1");
  unsetenv(MachinePrefixVariable);
}

}  // namespace
}  // namespace platform
