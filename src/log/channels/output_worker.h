#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "log/channels/log_item.h"
#include "log/channels/message_aggregator.h"
#include "log/channels/output_plugin.h"
#include "platform/clock.h"

namespace luxlog {

/// Most messages queued at a time; more are counted as lost unless forced.
inline constexpr size_t kQueueLimit = 1000;

/// Stamps, formats and writes log messages on a background thread. Callers only queue; a
/// flood of one text is damped by the aggregator, and messages beyond the queue limit are
/// counted and reported at the head of the next batch. Any thread may write.
class OutputWorker {
 public:
  using Clock = std::function<platform::LocalDateTime()>;
  using DebuggerCopy = std::function<void(const std::string&)>;

  /// A worker that stamps messages with `clock`. `debuggerCopy`, when given (a debugger is
  /// attached), receives every message that passes at once, in the writing thread.
  OutputWorker(Clock clock, DebuggerCopy debuggerCopy);
  /// Stops the worker.
  ~OutputWorker();
  OutputWorker(const OutputWorker&) = delete;
  OutputWorker& operator=(const OutputWorker&) = delete;

  /// Adds `output`, replacing an output of the same name.
  void AddOutput(std::shared_ptr<OutputPlugin> output);

  /// Queues one message of `channel` (cut to 63 characters) unless the aggregator holds it
  /// back. A full queue counts it as lost, unless `force` is 1.
  void Write(const char* channel, uint32_t level, const char* message, bool noDebuggerCopy,
             int32_t force);

  /// Writes what is queued to every output: first the aggregator's summaries, then the
  /// overrun report when messages were lost, then the messages in order.
  void ProcessBatch();

  /// Starts the worker thread "LoggingOutputWorker" at the lowest priority, unless it runs.
  void Start();
  /// Ends the worker thread and writes what is still queued.
  void Stop();

 private:
  /// Write. A `summary` of the aggregator passes it without being counted, and it does not wake
  /// the worker: the batch that made it takes it next, and a wake-up would run a batch for
  /// nothing but the next summary, again and again while a flood goes on. (Passing summaries
  /// by a flag of the aggregator instead would let other threads' repeats pass meanwhile.)
  void Queue(const char* channel, uint32_t level, const char* message, bool noDebuggerCopy,
             int32_t force, bool summary);
  void Run();
  void SignalData();

  const Clock clock_;
  const DebuggerCopy debuggerCopy_;
  MessageAggregator aggregator_;

  std::recursive_mutex queueLock_;  // guards queue_ and overrun_; the last batch holds it
  std::vector<LogItem> queue_;
  int32_t overrun_ = 0;

  std::mutex outputLock_;  // guards outputs_; held while a batch is written
  std::vector<std::shared_ptr<OutputPlugin>> outputs_;

  std::mutex signalLock_;  // guards dataReady_ and quit_
  std::condition_variable signalled_;
  bool dataReady_ = false;  // set when the queue stops being empty; a wake-up clears it
  bool quit_ = false;

  std::mutex startLock_;  // guards thread_
  std::thread thread_;
};

}  // namespace luxlog
