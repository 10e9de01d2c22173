#include "support/machine_prefix.h"

#include <stdlib.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "platform/machine.h"

namespace testsupport {

ScopedMachinePrefix::ScopedMachinePrefix() {
  std::string pattern = "/tmp/corvia-machine-XXXXXX";
  if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  setenv(platform::MachinePrefixVariable, path_.c_str(), 1);
}

ScopedMachinePrefix::~ScopedMachinePrefix() {
  unsetenv(platform::MachinePrefixVariable);
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

void UseEmptyMachine() {
  const std::string empty = testing::TempDir() + "corvia_empty_machine";
  std::filesystem::create_directories(empty);
  setenv(platform::MachinePrefixVariable, empty.c_str(), 1);
  unsetenv("LIBLUX_DLL_DIR");
  unsetenv("LD_LIBRARY_PATH");
}

}  // namespace testsupport
