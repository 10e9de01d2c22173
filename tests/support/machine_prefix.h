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

/// Points the machine prefix of this process at an empty folder and clears LIBLUX_DLL_DIR and
/// LD_LIBRARY_PATH, so that the runtime library search finds nothing and no runtime service or
/// headset is there. For child processes.
void UseEmptyMachine();

}  // namespace testsupport
