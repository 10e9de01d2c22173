#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "protocol/unique_fd.h"

namespace luxsim {

/// The service's one event loop: descriptors, timers and signals, all dispatched on the thread
/// that runs it. Callbacks may add and remove watches, timers and deferred work, also their
/// own.
class EventLoop {
 public:
  using IoCallback = std::function<void(uint32_t events)>;
  using Callback = std::function<void()>;
  using TimerId = uint64_t;

  EventLoop();
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  /// False when the loop could not be created.
  bool IsValid() const { return epoll_.IsValid(); }

  /// Calls `callback` with the ready events (EPOLLIN, EPOLLOUT, ...) of `fd` until `Unwatch`.
  bool Watch(int fd, uint32_t events, IoCallback callback);
  void SetEvents(int fd, uint32_t events);
  void Unwatch(int fd);

  /// Calls `callback` after `delay`, then every `period` unless it is zero.
  TimerId AddTimer(std::chrono::nanoseconds delay, std::chrono::nanoseconds period,
                   Callback callback);
  void CancelTimer(TimerId timer);

  /// Calls `callback` when `signal` arrives. Blocks the signal for the calling thread; the
  /// service's other threads, if any, must block it too.
  bool OnSignal(int signal, Callback callback);

  /// Runs `callback` once the events of the current round have been dispatched.
  void Defer(Callback callback);

  /// Dispatches until `Stop`; false when waiting for events failed.
  bool Run();
  void Stop() { stopped_ = true; }

 private:
  struct Watcher {
    int fd;
    std::shared_ptr<IoCallback> callback;
  };

  void Dispatch(uint64_t token, uint32_t events);
  void RunDeferred();
  void ReadSignals();

  UniqueFd epoll_;
  uint64_t nextToken_ = 1;
  std::map<uint64_t, Watcher> watchers_;  // by token
  std::map<int, uint64_t> tokenOfFd_;
  std::map<TimerId, UniqueFd> timers_;
  UniqueFd signalFd_;
  std::map<int, Callback> signalCallbacks_;
  std::vector<Callback> deferred_;
  bool stopped_ = false;
};

}  // namespace luxsim
