// The log channels' output worker: what one log call costs its caller while the worker thread
// runs, and how many lines a flood of one repeated text leaves with the aggregation on. The
// worker writes to an output that only counts, so the figures are the worker's own, without
// console or system-log traffic.
//
// Usage: log_output_bench [flood seconds, default 3]

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "log/channels/levels.h"
#include "log/channels/output_worker.h"
#include "platform/clock.h"

namespace {

using Clock = std::chrono::steady_clock;
using luxlog::OutputWorker;

constexpr char kFloodText[] = "the same text, again and again";

class CountingOutput : public luxlog::OutputPlugin {
 public:
  std::string GetName() const override { return "Counting"; }
  void Write(uint32_t, const luxlog::LogItem&, std::string_view,
             std::string_view message) override {
    ++lines;
    if (message.ends_with(kFloodText)) ++floodLines;
  }
  std::atomic<uint64_t> lines{0};
  std::atomic<uint64_t> floodLines{0};  // the text itself and its summaries
};

struct Worker {
  Worker() {
    worker.AddOutput(output);
    worker.Start();
  }
  OutputWorker worker{platform::LocalTimeNow, nullptr};
  std::shared_ptr<CountingOutput> output = std::make_shared<CountingOutput>();
};

double Nanoseconds(Clock::duration duration) {
  return std::chrono::duration<double, std::nano>(duration).count();
}

/// Distinct texts, written in bursts of 100 with a 1 ms pause that lets the worker catch up,
/// so that no call meets a full queue.
void CallerCost() {
  constexpr int kCalls = 200'000;
  std::vector<std::string> texts;
  for (int i = 0; i < kCalls; ++i) texts.push_back("distinct message " + std::to_string(i));
  Worker run;
  std::vector<double> costs;
  costs.reserve(kCalls);
  for (int i = 0; i < kCalls; ++i) {
    if (i % 100 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const Clock::time_point start = Clock::now();
    run.worker.Write("Bench", luxlog::kInfo, texts[i].c_str(), false, 0);
    costs.push_back(Nanoseconds(Clock::now() - start));
  }
  run.worker.Stop();
  std::sort(costs.begin(), costs.end());
  std::printf(
      "caller's cost of one log call, worker running (%d calls): median %.0f ns, p99 %.0f ns"
      " (%llu lines written)\n",
      kCalls, costs[costs.size() / 2], costs[costs.size() * 99 / 100],
      static_cast<unsigned long long>(run.output->lines.load()));
}

/// One text written as fast as one thread can for `seconds`; with `otherEvery10Ms`, another
/// channel writes a distinct text every 10 ms, so that the worker runs batches meanwhile.
void Flood(double seconds, bool otherEvery10Ms) {
  Worker run;
  uint64_t calls = 0;
  int others = 0;
  const Clock::time_point start = Clock::now();
  const auto end =
      start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  for (Clock::time_point now = start; now < end; now = Clock::now()) {
    run.worker.Write("Flood", luxlog::kInfo, kFloodText, false, 0);
    ++calls;
    if (otherEvery10Ms && now - start >= others * std::chrono::milliseconds(10)) {
      const std::string other = "another message " + std::to_string(others++);
      run.worker.Write("Other", luxlog::kInfo, other.c_str(), false, 0);
    }
  }
  const uint64_t duringFlood = run.output->floodLines.load();
  run.worker.Stop();
  std::printf(
      "flood of one text%s: %.2f M calls/s for %.0f s -> %llu lines of it, %.1f lines/s "
      "(%llu more when the worker stopped)\n",
      otherEvery10Ms ? " beside another message every 10 ms" : "",
      static_cast<double>(calls) / seconds / 1e6, seconds,
      static_cast<unsigned long long>(duringFlood), static_cast<double>(duringFlood) / seconds,
      static_cast<unsigned long long>(run.output->floodLines.load() - duringFlood));
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
  if (seconds <= 0.0) {
    std::fprintf(stderr, "usage: %s [flood seconds, default 3]\n", argv[0]);
    return 2;
  }
  CallerCost();
  Flood(seconds, false);
  Flood(seconds, true);
  return 0;
}
