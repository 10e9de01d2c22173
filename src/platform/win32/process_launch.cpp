#include "platform/process_launch.h"

#include <windows.h>

#include <vector>

#include "platform/win32/wide_text.h"

namespace platform {

bool StartApplicationProcess(const ApplicationLaunch& launch, ProcessInformation& created) {
  created = ProcessInformation{};
  const std::wstring application = Widen(launch.applicationPath);
  // CreateProcessW may write into the command line, so it gets a copy of its own; the command
  // line already begins with the quoted path of the executable.
  std::vector<wchar_t> commandLine;
  if (!launch.commandLine.empty()) {
    const std::wstring wide = Widen(launch.commandLine);
    commandLine.assign(wide.begin(), wide.end());
    commandLine.push_back(L'\0');
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION information{};
  if (!CreateProcessW(application.c_str(), commandLine.empty() ? nullptr : commandLine.data(),
                      nullptr, nullptr, FALSE, CREATE_BREAKAWAY_FROM_JOB, nullptr, nullptr,
                      &startup, &information)) {
    return false;
  }
  created.process.emplace(OwnedHandle(reinterpret_cast<intptr_t>(information.hProcess)),
                          information.dwProcessId, nullptr);
  created.thread.Reset(reinterpret_cast<intptr_t>(information.hThread));
  created.processId = information.dwProcessId;
  created.threadId = information.dwThreadId;
  return true;
}

namespace {

BOOL CALLBACK PostCloseIfOwned(HWND window, LPARAM processId) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == static_cast<DWORD>(processId)) PostMessageW(window, WM_CLOSE, 0, 0);
  return TRUE;
}

}  // namespace

void PostCloseToProcessWindows(uint32_t processId) {
  if (processId == 0 || processId == GetCurrentProcessId()) return;
  EnumWindows(PostCloseIfOwned, static_cast<LPARAM>(processId));
}

}  // namespace platform
