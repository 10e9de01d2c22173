// The Windows tests' second process: serves the shell service "HUB_IPC" (answering the focused
// process with its own id, everything else with OK) until its client disconnects, for at most
// the seconds given. It tells the test it is ready through the named event given second.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "support/shell_service.h"

namespace {

// The shell service that signals `disconnected` when its client goes away.
class PeerShellService : public testsupport::ShellService {
 public:
  PeerShellService(Responder responder, HANDLE disconnected)
      : ShellService(std::move(responder)), disconnected_(disconnected) {}
  void OnClientDisconnected(IPC::ServerConnection&) override { SetEvent(disconnected_); }

 private:
  HANDLE disconnected_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const DWORD limitMs = static_cast<DWORD>(std::atof(argv[1]) * 1000);
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
  HANDLE disconnected = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (ready == nullptr || disconnected == nullptr) return 2;
  const uint32_t self = GetCurrentProcessId();
  bool ended = false;
  {
    PeerShellService service(
        testsupport::Answering(
            [self](const std::string& path) -> std::optional<testsupport::ShellAnswer> {
              if (path == "/life_cycle/get_focused_pid") return testsupport::PidAnswer(self);
              return std::nullopt;
            }),
        disconnected);
    if (!service.Start()) return 3;
    SetEvent(ready);
    ended = WaitForSingleObject(disconnected, limitMs) == WAIT_OBJECT_0;
  }  // the service stops before the event it signals is closed
  CloseHandle(ready);
  CloseHandle(disconnected);
  return ended ? 0 : 4;
}
