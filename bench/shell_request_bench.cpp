// The round trip of one shell request through the validator's client and the simulated shell
// service: the call of "toHub", the event loop answering it, and the response coming back
// through "toClient". Run it on a simulated machine:
// scripts/with-simulator build/default/bench/shell_request_bench

#include <benchmark/benchmark.h>

#include <string>

#include "hub/hub_remote_control.h"

namespace {

// A query answered from the shell's state.
void LocationQuery(benchmark::State& state) {
  QasValidator::HubRemoteControl hub;
  std::string location;
  if (!hub.IsConnected() || !hub.GetActualLocation(location)) {
    state.SkipWithError("no shell service: run on a simulated machine");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(hub.GetActualLocation(location));
}
BENCHMARK(LocationQuery)->Unit(benchmark::kMicrosecond);

// A request that changes the headset and refreshes every session's status.
void ProximitySensor(benchmark::State& state) {
  QasValidator::HubRemoteControl hub;
  if (!hub.IsConnected() || !hub.SetProximitySensor(true)) {
    state.SkipWithError("no shell service: run on a simulated machine");
    return;
  }
  bool worn = false;
  for (auto _ : state) {
    benchmark::DoNotOptimize(hub.SetProximitySensor(worn));
    worn = !worn;
  }
}
BENCHMARK(ProximitySensor)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
