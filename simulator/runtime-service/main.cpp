// corvia-runtime-service: the simulated Tarn runtime service. It owns the simulated headset
// and serves the runtime client libraries of the machine (the machine prefix names the
// machine) until SIGTERM or SIGINT.

#include <signal.h>
#include <tclap/CmdLine.h>
#include <unistd.h>

#include <chrono>
#include <iostream>
#include <memory>

#include "core_requests.h"
#include "hub_shell_service.h"
#include "platform/machine.h"
#include "realtime_event_stream.h"
#include "runtime_service.h"
#include "usage_metrics_log.h"

int main(int argc, char** argv) {
  TCLAP::CmdLine command("The simulated Corvia Tarn runtime service.", ' ', "1.43.0");
  TCLAP::SwitchArg noHeadset("", "no-headset", "Start with the headset unplugged", command);
  TCLAP::SwitchArg noEventStream(
      "", "no-event-stream", "Do not serve the realtime event stream (TCP port 31482)", command);
  TCLAP::ValueArg<int> notifyFd("", "notify-fd",
                                "Write READY and a line end to this descriptor once clients can "
                                "connect, then close it",
                                false, -1, "descriptor", command);
  TCLAP::SwitchArg olderShell("", "older-shell",
                              "Serve the shell as an older one, without the requests that came "
                              "with the dash (get_dash_visibility and the others)",
                              command);
  TCLAP::SwitchArg noHsw(
      "", "no-hsw", "Do not show the health-and-safety warning to launched applications", command);
  TCLAP::SwitchArg noDeathRecord(
      "", "no-death-record",
      "Test aid: do not report the sessions of a client that dies (or hangs up) without "
      "destroying them as destroyed in the realtime event stream",
      command);
  TCLAP::ValueArg<std::string> delayedPath(
      "", "test-delay-request", "Test aid: send the responses to this shell request path later",
      false, "", "path", command);
  TCLAP::ValueArg<int> delayMs("", "test-delay-ms",
                               "Test aid: how much later, in milliseconds (with "
                               "--test-delay-request)",
                               false, 0, "milliseconds", command);
  command.parse(argc, argv);

  signal(SIGPIPE, SIG_IGN);
  luxsim::RuntimeService service({.headsetConnected = !noHeadset.getValue()});
  service.AddModule(std::make_unique<luxsim::CoreRequests>());
  service.AddModule(std::make_unique<luxsim::UsageMetricsLog>(
      platform::MachinePath("var/corvia/telemetry.jsonl")));
  if (!noEventStream.getValue()) {
    service.AddModule(std::make_unique<luxsim::RealtimeEventStream>(
        luxsim::RealtimeEventStream::kDefaultPort, platform::MonotonicSeconds,
        !noDeathRecord.getValue()));
  }
  service.AddModule(std::make_unique<luxsim::HubShellService>(
      luxsim::HubShellService::Options{.olderShell = olderShell.getValue(),
                                       .healthAndSafetyWarning = !noHsw.getValue(),
                                       .delayedPath = delayedPath.getValue(),
                                       .delay = std::chrono::milliseconds(delayMs.getValue())}));
  std::string error;
  if (!service.Start(&error)) {
    std::cerr << "corvia-runtime-service: " << error << std::endl;
    return 1;
  }
  if (notifyFd.getValue() >= 0) {
    static const char kReady[] = "READY\n";
    const bool written = write(notifyFd.getValue(), kReady, sizeof kReady - 1) ==
                         static_cast<ssize_t>(sizeof kReady - 1);
    close(notifyFd.getValue());
    if (!written) {
      std::cerr << "corvia-runtime-service: cannot report readiness" << std::endl;
      return 1;
    }
  }
  return service.Run() ? 0 : 1;
}
