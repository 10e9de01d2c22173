#include "platform/dynamic_library.h"

#include <dlfcn.h>

#include <utility>

namespace platform {

LoadedModule::~LoadedModule() { Free(); }

LoadedModule::LoadedModule(LoadedModule&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

LoadedModule& LoadedModule::operator=(LoadedModule&& other) noexcept {
  if (this != &other) {
    Free();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

LoadedModule LoadedModule::Load(const std::string& path) {
  // RTLD_LOCAL keeps the library's symbols out of the global scope, as a Windows module's
  // exports are reachable only through its handle.
  return LoadedModule(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
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
