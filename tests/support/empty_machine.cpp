#include "support/empty_machine.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

namespace testsupport {

void UseEmptyMachine() {
  const std::string empty = testing::TempDir() + "corvia_empty_machine";
  std::filesystem::create_directories(empty);
  setenv("CORVIA_MACHINE_PREFIX", empty.c_str(), 1);
  unsetenv("LIBLUX_DLL_DIR");
  unsetenv("LD_LIBRARY_PATH");
}

}  // namespace testsupport
