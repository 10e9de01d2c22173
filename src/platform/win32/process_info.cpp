#include "platform/process_info.h"

#include <windows.h>
#include <winternl.h>
// psapi.h after windows.h.
#include <psapi.h>

#include <algorithm>

#include "platform/win32/wide_text.h"

namespace platform {

namespace {

std::optional<uint32_t> ParentOf(HANDLE process) {
  PROCESS_BASIC_INFORMATION information{};
  ULONG length = 0;
  if (!NT_SUCCESS(NtQueryInformationProcess(process, ProcessBasicInformation, &information,
                                            sizeof information, &length))) {
    return std::nullopt;
  }
  return static_cast<uint32_t>(information.InheritedFromUniqueProcessId);
}

HANDLE Native(const ProcessHandle& process) {
  // The handle is private to the class; the module functions need it, so it is reopened.
  return OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process.ProcessId());
}

}  // namespace

std::optional<uint32_t> ParentProcessId() { return ParentOf(GetCurrentProcess()); }

uint32_t ParentProcessId(uint32_t processId) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (process == nullptr) return processId;
  const std::optional<uint32_t> parent = ParentOf(process);
  CloseHandle(process);
  return parent.value_or(processId);
}

std::optional<std::string> ProcessExecutableBaseName(uint32_t pid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (process == nullptr) return std::nullopt;
  wchar_t name[MAX_PATH];
  // Without a module handle: the first module, the executable.
  const DWORD length = GetModuleBaseNameW(process, nullptr, name, MAX_PATH);
  CloseHandle(process);
  if (length == 0) return std::nullopt;
  return Narrow(std::wstring_view(name, length));
}

std::optional<std::vector<std::string>> ListProcessModules(const ProcessHandle& handle) {
  HANDLE process = Native(handle);
  if (process == nullptr) return std::nullopt;
  std::vector<HMODULE> modules(256);
  for (;;) {
    DWORD needed = 0;
    const auto bytes = static_cast<DWORD>(modules.size() * sizeof(HMODULE));
    if (!EnumProcessModules(process, modules.data(), bytes, &needed)) {
      const DWORD error = GetLastError();
      CloseHandle(process);
      SetLastError(error);
      return std::nullopt;
    }
    if (needed <= bytes) {
      modules.resize(needed / sizeof(HMODULE));
      break;
    }
    modules.resize(needed / sizeof(HMODULE) + 16);
  }
  std::vector<std::string> paths;
  for (HMODULE module : modules) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameExW(process, module, path, MAX_PATH);
    if (length == 0) continue;
    std::string text = Narrow(std::wstring_view(path, length));
    if (std::find(paths.begin(), paths.end(), text) == paths.end())
      paths.push_back(std::move(text));
  }
  CloseHandle(process);
  return paths;
}

}  // namespace platform
