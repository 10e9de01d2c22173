#pragma once

#include <string>

namespace testsupport {

/// Points the machine prefix (CORVIA_MACHINE_PREFIX) at a fresh temporary folder for the
/// lifetime of the object, so that the names a test serves are its own. Create it before the
/// test starts any thread.
class ScopedMachinePrefix {
 public:
  ScopedMachinePrefix();
  ~ScopedMachinePrefix();
  ScopedMachinePrefix(const ScopedMachinePrefix&) = delete;
  ScopedMachinePrefix& operator=(const ScopedMachinePrefix&) = delete;

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace testsupport
