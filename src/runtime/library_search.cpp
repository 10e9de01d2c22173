#include "runtime/library_search.h"

#include <cstdlib>

#include "lux/lux_capi.h"
#include "platform/files.h"
#include "runtime/signature_check.h"

// The directory separator and the library's suffix are the system's: '\\' and ".dll" on
// Windows, '/' and ".so" on POSIX.

namespace LuxLoader {

std::array<std::string, 2> CandidateDirectories(const char* variable) {
  std::string configured = variable != nullptr ? variable : "";
  if (configured.size() > kMaxPath - 1) configured.clear();
  if (!configured.empty() && configured.back() != platform::PathSeparator()) {
    configured.push_back(platform::PathSeparator());
    if (configured.size() >= kMaxPath) configured.clear();
  }
  return {configured, std::string()};
}

std::optional<std::string> RuntimeLibraryPath(const std::string& directory, int majorVersion) {
  std::string path = directory + "LibLUXRT" + "64" + "_" + std::to_string(majorVersion) +
                     platform::SharedLibrarySuffix();
  if (path.size() >= kMaxPath) return std::nullopt;
  return path;
}

FoundLibrary FindRuntimeLibrary(int majorVersion) {
  FoundLibrary found;
  found.result = luxError_LibLoad;
  for (const std::string& directory :
       CandidateDirectories(std::getenv(kLibraryDirectoryVariable))) {
    std::optional<std::string> path = RuntimeLibraryPath(directory, majorVersion);
    if (!path) continue;
    if (directory.empty()) {
      path = platform::SearchPath(*path);
      if (!path || path->size() >= kMaxPath) continue;
    }
    found.result = 0;
    const std::string fullPath = platform::FullPathName(*path);
    if (fullPath.empty() || fullPath.size() > kMaxPath - 1) {
      found.result = luxError_LibPath;
      continue;
    }
    platform::ReadOnlyFile file = platform::ReadOnlyFile::Open(fullPath);
    if (!file.IsOpen()) {
      found.result = luxError_LibPath;
      continue;
    }
    if (!VerifyRuntimeSignature(fullPath, file)) {
      found.result = luxError_LibSignCheck;
      continue;
    }
    found.module = platform::LoadedModule::Load(fullPath, file);
    file.Close();
    if (found.module) return found;
    found.result = luxError_LibLoad;
  }
  return found;
}

}  // namespace LuxLoader
