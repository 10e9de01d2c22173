#include "runtime/runtime_library.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <string>

#include "platform/dynamic_library.h"
#include "runtime/library_search.h"

namespace LuxLoader {

namespace {

// Process-wide loader state. Loading and unloading happen on the main thread during session
// set-up and teardown; the table entries are atomic because the console-control thread may
// read the clock entry while the run ends. The module is never destroyed: a library still
// loaded when the process ends stays loaded, so that nothing running during the exit (the
// console-control thread) calls into an unloaded library.
platform::LoadedModule& runtimeModule = *std::make_unique<platform::LoadedModule>().release();
std::array<std::atomic<void*>, kRuntimeFunctionNames.size()> functionTable{};
LoaderErrorRecord loaderError = [] {
  LoaderErrorRecord record{};
  record.Result = luxError_NotInitialized;
  std::strcpy(record.ErrorString, "lux_Initialize never called");
  return record;
}();

void ClearFunctionTable() {
  for (std::atomic<void*>& entry : functionTable) entry.store(nullptr);
}

}  // namespace

LoaderErrorRecord& LoaderError() { return loaderError; }

void SetLoaderError(int32_t result, std::string_view text) {
  loaderError.Result = result;
  const size_t length = std::min(text.size(), sizeof loaderError.ErrorString - 1);
  std::memcpy(loaderError.ErrorString, text.data(), length);
  loaderError.ErrorString[length] = '\0';
}

bool IsRuntimeLibraryLoaded() { return static_cast<bool>(runtimeModule); }

void* RuntimeFunctionAddress(size_t index) { return functionTable[index].load(); }

void BindRuntimeFunction(size_t index, void* address) { functionTable[index].store(address); }

void* RuntimeLibraryExport(const char* name) { return runtimeModule.ProcAddress(name); }

void UnloadRuntimeLibrary() {
  ClearFunctionTable();
  runtimeModule.Free();
}

int32_t LoadRuntimeLibrary(int /*productVersion*/, int majorVersion) {
  if (IsRuntimeLibraryLoaded()) return 0;
  FoundLibrary found = FindRuntimeLibrary(majorVersion);
  if (!found.module) {
    SetLoaderError(found.result, "Unable to load LibLUXRT DLL");
    return found.result;
  }
  runtimeModule = std::move(found.module);
  ClearFunctionTable();
  for (size_t i = 0; i < kRuntimeFunctionNames.size(); ++i) {
    const std::string name(kRuntimeFunctionNames[i]);
    void* address = runtimeModule.ProcAddress(name.c_str());
    if (address == nullptr) {
      SetLoaderError(luxError_LibSymbols, "Unable to locate LibLUXRT symbol: " + name);
      UnloadRuntimeLibrary();
      return luxError_LibSymbols;
    }
    functionTable[i].store(address);
  }
  return 0;
}

}  // namespace LuxLoader
