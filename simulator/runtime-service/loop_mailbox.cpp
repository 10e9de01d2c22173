#include "loop_mailbox.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace luxsim {

LoopMailbox::LoopMailbox(EventLoop& loop)
    : loop_(loop), wake_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  watched_ = wake_.IsValid() && loop_.Watch(wake_.Get(), EPOLLIN, [this](uint32_t) { Deliver(); });
}

LoopMailbox::~LoopMailbox() {
  if (watched_) loop_.Unwatch(wake_.Get());
}

void LoopMailbox::Post(std::function<void()> work) {
  {
    std::lock_guard lock(lock_);
    pending_.push_back(std::move(work));
  }
  const uint64_t one = 1;
  // A full counter still wakes the loop, so a failed write loses nothing.
  [[maybe_unused]] const ssize_t written = write(wake_.Get(), &one, sizeof one);
}

void LoopMailbox::Deliver() {
  uint64_t count = 0;
  [[maybe_unused]] const ssize_t drained = read(wake_.Get(), &count, sizeof count);
  std::vector<std::function<void()>> round;
  {
    std::lock_guard lock(lock_);
    round.swap(pending_);
  }
  for (const std::function<void()>& work : round) work();
}

}  // namespace luxsim
