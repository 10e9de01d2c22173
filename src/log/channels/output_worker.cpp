#include "log/channels/output_worker.h"

#include <cstdio>
#include <utility>

#include "log/channels/levels.h"
#include "platform/thread_description.h"
#include "platform/thread_priority.h"

namespace luxlog {

OutputWorker::OutputWorker(Clock clock, DebuggerCopy debuggerCopy)
    : clock_(std::move(clock)), debuggerCopy_(std::move(debuggerCopy)) {}

OutputWorker::~OutputWorker() { Stop(); }

void OutputWorker::AddOutput(std::shared_ptr<OutputPlugin> output) {
  std::lock_guard hold(outputLock_);
  std::erase_if(outputs_, [&](const auto& kept) { return kept->GetName() == output->GetName(); });
  outputs_.push_back(std::move(output));
}

void OutputWorker::Write(const char* channel, uint32_t level, const char* message,
                         bool noDebuggerCopy, int32_t force) {
  Queue(channel, level, message, noDebuggerCopy, force, false);
}

void OutputWorker::Queue(const char* channel, uint32_t level, const char* message,
                         bool noDebuggerCopy, int32_t force, bool summary) {
  LogItem item{MakeChannelName(channel), level, message, clock_()};
  const bool copyToDebugger = debuggerCopy_ && !noDebuggerCopy;
  const std::string debuggerLine =
      copyToDebugger ? FormatHeader(item.time, level, item.Channel()) + item.text + "\n" : "";
  bool wake = false;
  {
    std::lock_guard hold(queueLock_);
    if (!summary && !aggregator_.Passes(item.Channel(), level, item.text, TimeOfDayMs(item.time))) {
      return;
    }
    if (force == 1 || queue_.size() < kQueueLimit) {
      wake = queue_.empty();
      queue_.push_back(std::move(item));
    } else {
      ++overrun_;
    }
  }
  if (wake && !summary) SignalData();
  if (copyToDebugger) debuggerCopy_(debuggerLine);
}

void OutputWorker::ProcessBatch() {
  for (const AggregateSummary& summary : aggregator_.Flush(TimeOfDayMs(clock_()))) {
    Queue(summary.channel.c_str(), summary.level, summary.text.c_str(), false, 1, true);
  }
  std::vector<LogItem> batch;
  int32_t overrun = 0;
  {
    std::lock_guard hold(queueLock_);
    batch.swap(queue_);
    overrun = std::exchange(overrun_, 0);
  }
  if (overrun > 0) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "Lost %i log messages due to queue overrun; try to reduce the amount of logging",
                  overrun);
    batch.insert(batch.begin(), LogItem{MakeChannelName("Logging"), kError, text, clock_()});
  }
  std::lock_guard hold(outputLock_);
  for (const LogItem& item : batch) {
    const std::string header = FormatHeader(item.time, item.level, item.Channel());
    for (const auto& output : outputs_) output->Write(item.level, item, header, item.text);
  }
}

void OutputWorker::Start() {
  std::lock_guard hold(startLock_);
  if (thread_.joinable()) return;
  {
    std::lock_guard signals(signalLock_);
    quit_ = false;
  }
  thread_ = std::thread([this] { Run(); });
}

void OutputWorker::Stop() {
  {
    std::lock_guard hold(startLock_);
    if (thread_.joinable()) {
      {
        std::lock_guard signals(signalLock_);
        quit_ = true;
      }
      signalled_.notify_one();
      thread_.join();
    }
  }
  std::lock_guard hold(queueLock_);
  ProcessBatch();
}

void OutputWorker::Run() {
  platform::SetCurrentThreadDescription("LoggingOutputWorker");
  platform::SetCurrentThreadPriorityLowest();
  for (;;) {
    {
      std::unique_lock signals(signalLock_);
      signalled_.wait(signals, [this] { return quit_ || dataReady_; });
      if (quit_) return;
      dataReady_ = false;
    }
    ProcessBatch();
  }
}

void OutputWorker::SignalData() {
  {
    std::lock_guard signals(signalLock_);
    dataReady_ = true;
  }
  signalled_.notify_one();
}

}  // namespace luxlog
