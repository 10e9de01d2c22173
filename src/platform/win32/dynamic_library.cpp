#include "platform/dynamic_library.h"

#include <windows.h>

#include <utility>

#include "platform/win32/wide_text.h"

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
  return LoadedModule(LoadLibraryW(Widen(path).c_str()));
}

void* LoadedModule::ProcAddress(const char* name) const {
  if (handle_ == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void LoadedModule::Free() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(std::exchange(handle_, nullptr)));
}

}  // namespace platform
