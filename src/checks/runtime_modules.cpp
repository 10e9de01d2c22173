#include "checks/runtime_modules.h"

#include "checks/guidelines.h"
#include "log/validator_log.h"
#include "platform/files.h"
#include "utils/file_path.h"
#include "utils/text.h"

namespace QasValidator {

namespace {

constexpr int32_t kRuntimeLibrariesGuideline = 12;

}  // namespace

TestResult JudgeRuntimeModules(const std::string& runtimeDirectory,
                               const std::vector<std::string>& modules) {
  bool failed = false;
  for (const std::string& module : modules) {
    const std::string path = QasUtils::ToLower(module);
    const std::string name = QasUtils::SplitPath(path).fileName;
    for (const char* runtimeName : RuntimeDllNames) {
      if (name != runtimeName) continue;
      const std::string expected =
          QasUtils::ToLower(runtimeDirectory + runtimeName + platform::SharedLibrarySuffix());
      if (path == expected) continue;
      Log(LogLevel::Error,
          {"The application is not using Corvia Runtime DLLS.\n", "The application loads ",
           QasUtils::ToUtf8(name), " from ", QasUtils::ToUtf8(path), "\n",
           "It should load it from ", QasUtils::ToUtf8(expected)});
      failed = true;
    }
  }
  if (!failed) return TestResult::Passed;
  CiteGuideline(kRuntimeLibrariesGuideline);
  return TestResult::Failed;
}

}  // namespace QasValidator
