// Listens to the realtime event stream of a running runtime service, as the validator does, and
// reports how regular the service's compositor clock is: the rate of end-of-compositor-frame
// records, the spread of the intervals between their timestamps, the compositor frames that
// never came (an interval of more than 1.5 periods), and the delay from a record's timestamp
// to the moment its packet has been received (the stream's own delay, before a listener holds
// records back for 0.15 s).
//
// Usage: scripts/with-simulator build/default/bench/compositor_clock [seconds, default 10]

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "events/packet_reader.h"
#include "lux/lux_capi.h"
#include "platform/clock.h"
#include "platform/tcp_client_socket.h"
#include "runtime/internal_functions.h"

namespace {

using LUX::Telemetry::TelemetryEvent;

constexpr double kPeriod = 1.0 / 90.0;

double Quantile(std::vector<double> values, double q) {
  if (values.empty()) return 0.0;
  const auto index = static_cast<size_t>(q * static_cast<double>(values.size() - 1));
  std::nth_element(values.begin(), values.begin() + static_cast<long>(index), values.end());
  return values[index];
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
  if (lux_Initialize(nullptr) != luxSuccess || LuxLoader::BindInternalFunctions() != 0 ||
      luxi_EnableRealtimeEventOutput(luxTrue) != luxSuccess) {
    std::fprintf(stderr,
                 "compositor_clock: no runtime service (run under scripts/with-simulator)\n");
    return 1;
  }
  // Read like the listener's receive thread reads, without its ring: each record is timed as
  // its packet completes.
  platform::TcpClientSocket socket;
  if (!socket.Create() || !socket.ConnectLoopback(31482)) {
    std::fprintf(stderr, "compositor_clock: cannot connect to the event stream\n");
    return 1;
  }
  LUX::Telemetry::PacketReader reader;
  std::vector<double> frames;
  std::vector<double> delays;
  const auto sink = [&](const TelemetryEvent& record) {
    if (record.type != LUX::Telemetry::kEndCompositorFrame) return;
    frames.push_back(record.timestamp);
    delays.push_back(platform::MonotonicSeconds() - record.timestamp);
  };
  const double end = platform::MonotonicSeconds() + seconds;
  while (platform::MonotonicSeconds() < end) {
    if (socket.WaitReadable(100) != platform::SocketWait::kReadable) continue;
    const std::span<std::byte> space = reader.FreeSpace();
    const int64_t count = socket.Receive(space.data(), space.size());
    if (count <= 0 || !reader.Commit(static_cast<size_t>(count), sink)) {
      std::fprintf(stderr, "compositor_clock: the event stream failed\n");
      return 1;
    }
  }
  luxi_EnableRealtimeEventOutput(luxFalse);
  lux_Shutdown();
  if (frames.size() < 2) {
    std::fprintf(stderr, "compositor_clock: no compositor frames arrived\n");
    return 1;
  }
  std::vector<double> intervals;
  for (size_t i = 1; i < frames.size(); ++i) intervals.push_back(frames[i] - frames[i - 1]);
  const double span = frames.back() - frames.front();
  const double mean = span / static_cast<double>(intervals.size());
  double squares = 0.0;
  for (const double interval : intervals) squares += (interval - mean) * (interval - mean);
  const auto missed = std::count_if(intervals.begin(), intervals.end(),
                                    [](double interval) { return interval > 1.5 * kPeriod; });
  std::printf("compositor frames: %zu in %.3f s = %.3f Hz (nominal 90)\n", frames.size(), span,
              static_cast<double>(intervals.size()) / span);
  std::printf("interval: mean %.3f ms, stddev %.3f ms, p1 %.3f ms, p99 %.3f ms, max %.3f ms\n",
              mean * 1000, std::sqrt(squares / static_cast<double>(intervals.size())) * 1000,
              Quantile(intervals, 0.01) * 1000, Quantile(intervals, 0.99) * 1000,
              *std::max_element(intervals.begin(), intervals.end()) * 1000);
  std::printf("intervals above 1.5 periods (compositor frames that never came): %td\n", missed);
  std::printf("stream delay (timestamp to the packet received): median %.3f ms, p99 %.3f ms\n",
              Quantile(delays, 0.5) * 1000, Quantile(delays, 0.99) * 1000);
  return 0;
}
