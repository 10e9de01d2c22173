// corvia-runtime-service: the simulated Tarn runtime service. It owns the simulated headset
// and serves the runtime client libraries of the machine (the machine prefix names the
// machine) until SIGTERM or SIGINT.

#include <signal.h>
#include <tclap/CmdLine.h>
#include <unistd.h>

#include <chrono>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core_requests.h"
#include "hub_shell_service.h"
#include "platform/machine.h"
#include "protocol/adapter_luid.h"
#include "realtime_event_stream.h"
#include "runtime_service.h"
#include "serial_devices.h"
#include "usage_metrics_log.h"

namespace {

/// The serial devices of the options: the breaker box on `breakerBox` (unless empty), then one
/// device for each "PORT=KIND". False, with the reason in `error`, for a malformed one.
bool SerialDeviceConfigs(const std::string& breakerBox, const std::vector<std::string>& others,
                         std::vector<luxsim::SerialDeviceConfig>& configs, std::string& error) {
  if (!breakerBox.empty()) configs.push_back({breakerBox, luxsim::SerialDeviceKind::kBreakerBox});
  for (const std::string& device : others) {
    const size_t equals = device.find('=');
    const auto kind =
        equals == std::string::npos
            ? std::nullopt
            : luxsim::SerialDeviceKindNamed(std::string_view(device).substr(equals + 1));
    if (!kind || equals == 0) {
      error = "not a serial device (PORT=breaker-box, other-firmware or silent): " + device;
      return false;
    }
    configs.push_back({device.substr(0, equals), *kind});
  }
  return true;
}

}  // namespace

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
  TCLAP::ValueArg<unsigned> headsetAdapter(
      "", "headset-adapter",
      "The display adapter that drives the headset, by its index among the machine's adapters "
      "(default 0)",
      false, 0, "index", command);
  TCLAP::ValueArg<std::string> breakerBox("", "breaker-box",
                                          "Offer a breaker box on this COM port (e.g. COM3)", false,
                                          "", "port", command);
  TCLAP::MultiArg<std::string> serialDevices(
      "", "serial-device",
      "Offer a device on a COM port: PORT=KIND, KIND other-firmware (answers Version 1.1), "
      "silent or breaker-box (repeatable)",
      false, "port=kind", command);
  command.parse(argc, argv);
  std::vector<luxsim::SerialDeviceConfig> devices;
  std::string error;
  if (!SerialDeviceConfigs(breakerBox.getValue(), serialDevices.getValue(), devices, error)) {
    std::cerr << "corvia-runtime-service: " << error << std::endl;
    return 2;
  }

  signal(SIGPIPE, SIG_IGN);
  luxsim::RuntimeService service({.headsetConnected = !noHeadset.getValue()});
  // A machine without that adapter has the headset on an adapter it does not list.
  service.AddModule(std::make_unique<luxsim::CoreRequests>(
      luxsim::DisplayAdapterLuid(headsetAdapter.getValue()).value_or(luxsim::kHeadsetAdapterLuid)));
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
  service.AddModule(std::make_unique<luxsim::SerialDevices>(std::move(devices)));
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
