#include "runtime_library.h"

#include <dlfcn.h>

#include <cstdlib>
#include <optional>

#include "launcher.h"

namespace sampleapp {

#define SAMPLEAPP_DEFINE_RUNTIME_FUNCTION(name) decltype(&::name) name = nullptr;
SAMPLEAPP_RUNTIME_FUNCTIONS(SAMPLEAPP_DEFINE_RUNTIME_FUNCTION)
#undef SAMPLEAPP_DEFINE_RUNTIME_FUNCTION

namespace {

constexpr char kLibraryName[] = "LibLUXRT64_1.so";

/// Where the library is loaded from; a bare name leaves the search to the system. Nothing
/// when the application's own folder is asked for and cannot be found.
std::optional<std::string> LibraryPath(bool bundled) {
  if (bundled) {
    const std::string executable = OwnExecutablePath();
    if (executable.empty()) return std::nullopt;
    return executable.substr(0, executable.rfind('/') + 1) + kLibraryName;
  }
  const char* folder = std::getenv("LIBLUX_DLL_DIR");
  if (folder == nullptr || *folder == '\0') return kLibraryName;
  std::string path = folder;
  if (path.back() != '/') path.push_back('/');
  return path + kLibraryName;
}

}  // namespace

bool LoadRuntimeLibrary(bool bundled, std::string& error) {
  const std::optional<std::string> found = LibraryPath(bundled);
  if (!found) {
    error = "cannot find its own folder";
    return false;
  }
  const std::string& path = *found;
  // Loaded for the life of the process.
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    error = "cannot load the runtime library " + path + ": " + dlerror();
    return false;
  }
#define SAMPLEAPP_BIND_RUNTIME_FUNCTION(name)                            \
  name = reinterpret_cast<decltype(&::name)>(dlsym(library, #name));     \
  if (name == nullptr) {                                                 \
    error = "the runtime library " + path + " does not export " + #name; \
    return false;                                                        \
  }
  SAMPLEAPP_RUNTIME_FUNCTIONS(SAMPLEAPP_BIND_RUNTIME_FUNCTION)
#undef SAMPLEAPP_BIND_RUNTIME_FUNCTION
  return true;
}

}  // namespace sampleapp
