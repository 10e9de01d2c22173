#pragma once

#include <functional>
#include <mutex>
#include <vector>

#include "event_loop.h"
#include "protocol/unique_fd.h"

namespace luxsim {

/// Hands work from other threads to the event loop: any thread may post; the loop runs the
/// posted work in the order it was posted, on its own thread, so the service's core needs no
/// lock. Work still pending when the mailbox goes is dropped.
class LoopMailbox {
 public:
  explicit LoopMailbox(EventLoop& loop);
  ~LoopMailbox();
  LoopMailbox(const LoopMailbox&) = delete;
  LoopMailbox& operator=(const LoopMailbox&) = delete;

  /// False when the mailbox could not be set up.
  bool IsValid() const { return watched_; }

  /// Runs `work` on the loop soon. Any thread.
  void Post(std::function<void()> work);

 private:
  void Deliver();

  EventLoop& loop_;
  UniqueFd wake_;  // an eventfd, counted up by Post and drained by the loop
  bool watched_ = false;
  std::mutex lock_;
  std::vector<std::function<void()>> pending_;  // guarded by lock_
};

}  // namespace luxsim
