#include "platform/dynamic_library.h"

#include <windows.h>

#include <utility>

#include "platform/win32/wide_text.h"

namespace platform {

namespace {

// Loads `path` and pins it: FreeLibrary then never unmaps its code.
HMODULE LoadPinned(const std::string& path) {
  const HMODULE module = LoadLibraryW(Widen(path).c_str());
  HMODULE pinned = nullptr;
  if (module != nullptr &&
      !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                          reinterpret_cast<LPCWSTR>(module), &pinned)) {
    FreeLibrary(module);
    return nullptr;
  }
  return module;
}

}  // namespace

LoadedModule LoadedModule::Load(const std::string& path) { return LoadedModule(LoadPinned(path)); }

LoadedModule LoadedModule::Load(const std::string& path, const ReadOnlyFile& file) {
  // `file` is open without write or delete sharing, so the file at `path` cannot have been
  // changed or replaced since it was opened, and the loader maps exactly that content.
  if (!file.IsOpen()) return LoadedModule();
  return LoadedModule(LoadPinned(path));
}

void* LoadedModule::ProcAddress(const char* name) const {
  if (handle_ == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void LoadedModule::Free() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(std::exchange(handle_, nullptr)));
}

void* MainProgramProcAddress(const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(nullptr), name));
}

}  // namespace platform
