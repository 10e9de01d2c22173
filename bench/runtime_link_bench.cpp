// Costs of the runtime link, measured against the simulated runtime. Run it on a simulated
// machine: scripts/with-simulator build/default/bench/corvia_runtime_link_bench

#include <benchmark/benchmark.h>

#include "lux/lux_capi.h"
#include "runtime/internal_functions.h"

namespace {

// Loading, signature-checking and binding the library, initialising the runtime and shutting
// it down again: what every validator run pays once.
void InitializeAndShutDown(benchmark::State& state) {
  for (auto _ : state) {
    if (lux_Initialize(nullptr) != 0) {
      state.SkipWithError("lux_Initialize failed: run on a simulated machine");
      return;
    }
    lux_Shutdown();
  }
}
BENCHMARK(InitializeAndShutDown)->Unit(benchmark::kMillisecond);

// One request to the runtime service and its answer, through a forwarding function.
void PropertyRoundTrip(benchmark::State& state) {
  if (lux_Initialize(nullptr) != 0) {
    state.SkipWithError("lux_Initialize failed: run on a simulated machine");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(lux_SetInt(nullptr, "FrequentTelEventPid", 1));
  lux_Shutdown();
}
BENCHMARK(PropertyRoundTrip)->Unit(benchmark::kMicrosecond);

// One usage-telemetry event, recorded by the service before it answers.
void UsageEvent(benchmark::State& state) {
  if (lux_Initialize(nullptr) != 0 || LuxLoader::BindInternalFunctions() != 0) {
    state.SkipWithError("the runtime could not be set up: run on a simulated machine");
    return;
  }
  const luxiMetricField fields[] = {{"application_name", "bench"}, {"user_action", "measure"}};
  for (auto _ : state) {
    benchmark::DoNotOptimize(luxi_ReportGenericMetrics("corvia_dev_tools", fields, 2, 0));
  }
  lux_Shutdown();
}
BENCHMARK(UsageEvent)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
