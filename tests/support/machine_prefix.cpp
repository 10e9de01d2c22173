#include "support/machine_prefix.h"

#include <stdlib.h>

#include <filesystem>

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

}  // namespace testsupport
