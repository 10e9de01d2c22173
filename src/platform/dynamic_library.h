#pragma once

#include <string>

#include "platform/files.h"

namespace platform {

/// A loaded dynamic library (LoadLibraryW / GetProcAddress / FreeLibrary). Destroying the object
/// or calling `Free` gives the library up, but its code stays mapped for the life of the
/// process (as a module pinned with GetModuleHandleExW's GET_MODULE_HANDLE_EX_FLAG_PIN), so a
/// function of it that another thread is still calling, or is about to call through a pointer
/// it took earlier, never jumps into unmapped memory. The library's symbols are not made
/// available to libraries loaded later.
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
  /// Loads the library at `path` whose content `file` holds (LoadLibraryW while the file is
  /// open): the code loaded is exactly the content read through `file`, even if the file at
  /// `path` has been replaced meanwhile. An empty module when it cannot be loaded.
  static LoadedModule Load(const std::string& path, const ReadOnlyFile& file);

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
