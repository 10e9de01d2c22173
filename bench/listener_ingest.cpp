// Feeds the realtime event listener over loopback TCP at steady record rates, the way the
// runtime streams them, with an event pump like the validator's draining it. Reports the
// highest rate the listener sustains without losing a record and, for several rates, the delay
// from a record's timestamp to its delivery. Delays are given for the steady stream (records
// sent up to 0.5 s before it stops) and, as the largest delay, for its end: once no more
// records arrive nothing releases the last ones, so they wait for the pump's 500 ms timeout.
//
// Usage: listener_ingest [seconds per trial, default 2]

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "events/client_socket.h"
#include "events/packet_format.h"
#include "platform/clock.h"
#include "support/loopback_server.h"

namespace {

using LUX::Telemetry::TClientSocket;
using LUX::Telemetry::TelemetryEvent;

/// Records per packet: what the runtime sends at a time.
constexpr uint64_t kRecordsPerPacket = 64;
/// Time for the last records to age and be delivered after the stream stops.
constexpr double kDrainSeconds = 0.8;
/// Records sent this long before the stream stops count as its end, not its steady part.
constexpr double kEndSeconds = 0.5;

struct Trial {
  double rate = 0.0;
  uint64_t sent = 0;
  uint64_t delivered = 0;
  uint32_t overflows = 0;
  std::vector<double> steadyDelays;  // seconds from timestamp to delivery, steady stream
  double largestDelay = 0.0;

  bool Lossless() const { return sent > 0 && overflows == 0 && delivered == sent; }
};

void Sleep(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

/// Sends `rate` records per second for `seconds`, each stamped when it is sent.
uint64_t Stream(testsupport::LoopbackServer& server, double rate, double seconds, double start) {
  std::vector<TelemetryEvent> records;
  uint64_t sent = 0;
  for (double elapsed = 0.0; elapsed < seconds; elapsed = platform::MonotonicSeconds() - start) {
    const auto due = static_cast<uint64_t>(rate * elapsed);
    while (sent < due) {
      records.resize(std::min(kRecordsPerPacket, due - sent));
      const double now = platform::MonotonicSeconds();
      for (TelemetryEvent& record : records) {
        record.type = LUX::Telemetry::kFrameSubmitted;
        record.timestamp = now;
        LUX::Telemetry::WritePayload<uint32_t, 0>(record, static_cast<uint32_t>(sent++));
      }
      if (!server.Send(LUX::Telemetry::EncodePacket(records))) return sent;
    }
    Sleep(0.001);
  }
  return sent;
}

Trial Run(double rate, double seconds) {
  Trial trial;
  trial.rate = rate;
  testsupport::LoopbackServer server;
  TClientSocket listener;
  if (!listener.Connect(server.Port(), true) || !server.Accept()) {
    std::fprintf(stderr, "cannot connect the listener over loopback\n");
    std::exit(1);
  }
  trial.steadyDelays.reserve(static_cast<size_t>(rate * seconds) + 64);
  const double start = platform::MonotonicSeconds();
  const double steadyUntil = start + seconds - kEndSeconds;
  std::atomic<bool> stop{false};
  std::thread pump([&] {
    while (!stop) {
      listener.WaitForEvents(500);
      listener.ProcessEvents(
          [&](TelemetryEvent** events, int32_t count) {
            const double now = platform::MonotonicSeconds();
            trial.delivered += static_cast<uint64_t>(count);
            for (int32_t i = 0; i < count; ++i) {
              const double delay = now - events[i]->timestamp;
              trial.largestDelay = std::max(trial.largestDelay, delay);
              if (events[i]->timestamp <= steadyUntil) trial.steadyDelays.push_back(delay);
            }
          },
          0);
    }
  });
  trial.sent = Stream(server, rate, seconds, start);
  Sleep(kDrainSeconds);
  stop = true;
  pump.join();
  trial.overflows = listener.Counters().ringOverflows;
  return trial;
}

double Quantile(std::vector<double> values, double q) {
  if (values.empty()) return 0.0;
  const auto index = static_cast<size_t>(q * static_cast<double>(values.size() - 1));
  std::nth_element(values.begin(), values.begin() + static_cast<long>(index), values.end());
  return values[index];
}

void Print(const Trial& trial) {
  std::printf(
      "%6.0f rec/s  sent %6llu  delivered %6llu  dropped %5u  %s  steady delay median %5.1f ms"
      "  p99 %5.1f ms  end max %5.1f ms\n",
      trial.rate, static_cast<unsigned long long>(trial.sent),
      static_cast<unsigned long long>(trial.delivered), trial.overflows,
      trial.Lossless() ? "lossless" : "LOSS    ", Quantile(trial.steadyDelays, 0.5) * 1000,
      Quantile(trial.steadyDelays, 0.99) * 1000, trial.largestDelay * 1000);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 2.0;
  const double designLimit = (TClientSocket::kSlotCount - 1) / TClientSocket::kHoldBackSeconds;
  std::printf("Design limit: %u records held for %.2f s = %.0f records/s\n\n",
              TClientSocket::kSlotCount - 1, TClientSocket::kHoldBackSeconds, designLimit);

  std::printf("Delay at typical rates:\n");
  for (double rate : {100.0, 1000.0, 5000.0}) Print(Run(rate, seconds));

  std::printf("\nSearch for the highest lossless rate:\n");
  double good = 0.0;
  double bad = 0.0;
  for (double rate = 2000.0; bad == 0.0; rate *= 2) {
    const Trial trial = Run(rate, seconds);
    Print(trial);
    (trial.Lossless() ? good : bad) = rate;
  }
  while (bad - good > good * 0.02) {
    const double rate = std::round((good + bad) / 2);
    const Trial trial = Run(rate, seconds);
    Print(trial);
    (trial.Lossless() ? good : bad) = rate;
  }
  std::printf("\nConfirmation over %.0f s:\n", seconds * 3);
  Trial confirmed = Run(good, seconds * 3);
  Print(confirmed);
  while (!confirmed.Lossless() && good > 0) {
    good = std::round(good * 0.95);
    confirmed = Run(good, seconds * 3);
    Print(confirmed);
  }
  std::printf("\nHighest sustained lossless rate: %.0f records/s (%.0f%% of the design limit)\n",
              good, 100.0 * good / designLimit);
  return 0;
}
