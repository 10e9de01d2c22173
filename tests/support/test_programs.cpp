#include "support/test_programs.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace testsupport {

TestProgram SleepingProgram(const std::string& seconds) {
#ifdef _WIN32
  return {CORVIA_SLEEPING_PROGRAM, {seconds}};
#else
  return {"/bin/sleep", {seconds}};
#endif
}

#ifdef _WIN32
namespace {

BOOL CALLBACK FindWindowOf(HWND window, LPARAM found) {
  auto* search = reinterpret_cast<std::pair<DWORD, bool>*>(found);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->first) search->second = true;
  return !search->second;
}

}  // namespace

void WaitUntilShown(uint32_t processId) {
  for (int attempt = 0; attempt < 200; ++attempt) {
    std::pair<DWORD, bool> search{processId, false};
    EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&search));
    if (search.second) return;
    Sleep(50);
  }
}
#else
void WaitUntilShown(uint32_t) {}
#endif

}  // namespace testsupport
