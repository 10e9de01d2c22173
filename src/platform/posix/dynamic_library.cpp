#include "platform/dynamic_library.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <utility>

namespace platform {

namespace {

// RTLD_LOCAL keeps the library's symbols out of the global scope, as a Windows module's exports
// are reachable only through its handle; RTLD_NODELETE keeps it mapped after dlclose.
constexpr int kLoadFlags = RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE;

}  // namespace

LoadedModule LoadedModule::Load(const std::string& path) {
  return LoadedModule(dlopen(path.c_str(), kLoadFlags));
}

LoadedModule LoadedModule::Load(const std::string& /*path*/, const ReadOnlyFile& file) {
  // The library is opened through the descriptor of the content that `file` holds, not by its
  // path, which another process may have pointed at other bytes by now. The dynamic loader
  // knows a library by the name it was opened under, and this one stays loaded for good, so
  // the descriptor in its name is kept open for good too: no later library can be opened
  // under the same name and be taken for this one.
  if (!file.IsOpen()) return LoadedModule();
  const int kept = fcntl(file.descriptor_, F_DUPFD_CLOEXEC, 0);
  if (kept < 0) return LoadedModule();
  void* handle = dlopen(("/proc/self/fd/" + std::to_string(kept)).c_str(), kLoadFlags);
  if (handle == nullptr) close(kept);
  return LoadedModule(handle);
}

void* LoadedModule::ProcAddress(const char* name) const {
  if (handle_ == nullptr) return nullptr;
  return dlsym(handle_, name);
}

void LoadedModule::Free() {
  if (handle_ != nullptr) dlclose(std::exchange(handle_, nullptr));
}

void* MainProgramProcAddress(const char* name) {
  // The main program's handle; a library loaded with RTLD_LOCAL never answers for it.
  void* const program = dlopen(nullptr, RTLD_LAZY);
  if (program == nullptr) return nullptr;
  void* const address = dlsym(program, name);
  dlclose(program);
  return address;
}

}  // namespace platform
