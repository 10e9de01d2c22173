#pragma once

#include <string>

namespace platform {

/// A loaded dynamic library (LoadLibraryW / GetProcAddress / FreeLibrary). The library stays
/// loaded while the object owns it; destroying the object or calling `Free` unloads it. The
/// library's symbols are not made available to libraries loaded later.
class LoadedModule {
 public:
  LoadedModule() = default;
  ~LoadedModule();
  LoadedModule(LoadedModule&& other) noexcept;
  LoadedModule& operator=(LoadedModule&& other) noexcept;
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;

  /// Loads the library at `path`; an empty module when it cannot be loaded.
  static LoadedModule Load(const std::string& path);

  /// True while a library is loaded.
  explicit operator bool() const { return handle_ != nullptr; }

  /// Address of the exported symbol `name`, or null when the library does not export it.
  void* ProcAddress(const char* name) const;

  /// Unloads the library; the module is empty afterwards.
  void Free();

 private:
  explicit LoadedModule(void* handle) : handle_(handle) {}

  void* handle_ = nullptr;
};

/// Address of the symbol `name` that the process's main program exports
/// (GetProcAddress(GetModuleHandleW(nullptr), name)), or null when it exports none of that
/// name. Found the same way however the calling module itself was loaded.
void* MainProgramProcAddress(const char* name);

}  // namespace platform
