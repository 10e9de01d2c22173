#include <optional>
#include <string>
#include <vector>

#include "checks/package_files.h"
#include "checks/runtime_modules.h"
#include "log/validator_log.h"
#include "platform/files.h"
#include "platform/process_info.h"
#include "platform/registry.h"
#include "validator/validator.h"

// The package and module checks: TestCorviaDLLIncludes looks at the modules loaded in the
// application's process, CheckForExtraneousFiles at the files beside its executable.
//
// The modules are listed whole, without a bound on their number, so every one is examined.

namespace QasValidator {

TestResult Validator::TestCorviaDLLIncludes() {
  return RunWithApplication("TestCorviaDLLIncludes", true, [this] {
    const std::optional<std::string> base = platform::ReadMachineRegistryString(
        kCorviaRegistryKey, kCorviaBaseValue, platform::MaxPathLength());
    if (!base) {
      LogError("INTERNAL ERROR: Unable to query the Corvia base directory");
      return TestResult::Failed;
    }
    const char separator = platform::PathSeparator();
    const std::string runtimeDirectory =
        *base + "Support" + separator + "corvia-runtime" + separator;
    LogInfo(
        "Enumerating the DLLs loaded by the application and verifying that Corvia DLLs are "
        "loaded from the Corvia runtime directory.");
    std::optional<std::vector<std::string>> modules;
    {
      std::lock_guard lock(sessionProcessLock);
      if (sessionProcessHandle) modules = platform::ListProcessModules(*sessionProcessHandle);
    }
    if (!modules) {
      LogSystemError("INTERNAL ERROR: Unable to query included modules.");
      return TestResult::Failed;
    }
    return JudgeRuntimeModules(runtimeDirectory, *modules);
  });
}

TestResult Validator::CheckForExtraneousFiles() {
  StartTest("CheckForExtraneousFiles");
  return ShutdownTest("CheckForExtraneousFiles", InspectPackage(applicationPath));
}

}  // namespace QasValidator
