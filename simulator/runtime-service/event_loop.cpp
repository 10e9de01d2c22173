#include "event_loop.h"

#include <signal.h>
#include <sys/epoll.h>
#include <sys/signalfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>

namespace luxsim {

namespace {

timespec ToTimespec(std::chrono::nanoseconds duration) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
  return {static_cast<time_t>(seconds.count()), static_cast<long>((duration - seconds).count())};
}

}  // namespace

EventLoop::EventLoop() : epoll_(epoll_create1(EPOLL_CLOEXEC)) {}

bool EventLoop::Watch(int fd, uint32_t events, IoCallback callback) {
  const uint64_t token = nextToken_++;
  epoll_event event{};
  event.events = events;
  event.data.u64 = token;
  if (epoll_ctl(epoll_.Get(), EPOLL_CTL_ADD, fd, &event) != 0) return false;
  watchers_[token] = {fd, std::make_shared<IoCallback>(std::move(callback))};
  tokenOfFd_[fd] = token;
  return true;
}

void EventLoop::SetEvents(int fd, uint32_t events) {
  const auto found = tokenOfFd_.find(fd);
  if (found == tokenOfFd_.end()) return;
  epoll_event event{};
  event.events = events;
  event.data.u64 = found->second;
  epoll_ctl(epoll_.Get(), EPOLL_CTL_MOD, fd, &event);
}

void EventLoop::Unwatch(int fd) {
  const auto found = tokenOfFd_.find(fd);
  if (found == tokenOfFd_.end()) return;
  epoll_ctl(epoll_.Get(), EPOLL_CTL_DEL, fd, nullptr);
  watchers_.erase(found->second);
  tokenOfFd_.erase(found);
}

EventLoop::TimerId EventLoop::AddTimer(std::chrono::nanoseconds delay,
                                       std::chrono::nanoseconds period, Callback callback) {
  UniqueFd timer(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC));
  if (!timer.IsValid()) return 0;
  itimerspec schedule{};
  // A zero delay would disarm the timer; the shortest wait stands for "at once".
  schedule.it_value = ToTimespec(std::max(delay, std::chrono::nanoseconds(1)));
  schedule.it_interval = ToTimespec(period);
  if (timerfd_settime(timer.Get(), 0, &schedule, nullptr) != 0) return 0;
  const int fd = timer.Get();
  const TimerId id = nextToken_;  // the token that Watch gives the timer's descriptor
  const bool repeating = period.count() > 0;
  const bool watched = Watch(fd, EPOLLIN, [this, fd, id, repeating, callback](uint32_t) {
    uint64_t expirations = 0;
    if (read(fd, &expirations, sizeof expirations) != sizeof expirations) return;
    if (!repeating) CancelTimer(id);
    callback();
  });
  if (!watched) return 0;
  timers_.emplace(id, std::move(timer));
  return id;
}

void EventLoop::CancelTimer(TimerId timer) {
  const auto found = timers_.find(timer);
  if (found == timers_.end()) return;
  Unwatch(found->second.Get());
  timers_.erase(found);
}

bool EventLoop::OnSignal(int signal, Callback callback) {
  signalCallbacks_[signal] = std::move(callback);
  sigset_t set;
  sigemptyset(&set);
  for (const auto& [number, unused] : signalCallbacks_) sigaddset(&set, number);
  if (sigprocmask(SIG_BLOCK, &set, nullptr) != 0) return false;
  if (signalFd_.IsValid()) return signalfd(signalFd_.Get(), &set, 0) >= 0;
  signalFd_.Reset(signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
  return signalFd_.IsValid() &&
         Watch(signalFd_.Get(), EPOLLIN, [this](uint32_t) { ReadSignals(); });
}

void EventLoop::ReadSignals() {
  signalfd_siginfo info{};
  while (read(signalFd_.Get(), &info, sizeof info) == sizeof info) {
    const auto found = signalCallbacks_.find(static_cast<int>(info.ssi_signo));
    if (found != signalCallbacks_.end()) found->second();
  }
}

void EventLoop::Defer(Callback callback) { deferred_.push_back(std::move(callback)); }

void EventLoop::RunDeferred() {
  while (!deferred_.empty()) {
    std::vector<Callback> round;
    round.swap(deferred_);
    for (const Callback& callback : round) callback();
  }
}

void EventLoop::Dispatch(uint64_t token, uint32_t events) {
  const auto found = watchers_.find(token);
  if (found == watchers_.end()) return;  // removed by an earlier callback of this round
  // Holding the callback keeps it alive even if it removes its own watch.
  const std::shared_ptr<IoCallback> callback = found->second.callback;
  (*callback)(events);
}

bool EventLoop::Run() {
  stopped_ = false;
  RunDeferred();
  epoll_event events[32];
  while (!stopped_) {
    const int count = epoll_wait(epoll_.Get(), events, 32, -1);
    if (count < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    for (int i = 0; i < count && !stopped_; ++i) Dispatch(events[i].data.u64, events[i].events);
    RunDeferred();
  }
  return true;
}

}  // namespace luxsim
