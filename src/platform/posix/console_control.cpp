#include "platform/console_control.h"

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <system_error>
#include <thread>

#include "platform/posix/key_poller.h"

// Console control events arrive as signals: SIGINT is Ctrl+C, SIGHUP the closed terminal,
// SIGTERM the system shutting the program down, SIGQUIT (Ctrl+\) plays the part of Ctrl+Break.
// The signals are blocked in every thread and taken by one thread with sigwait; each event is
// handled on a new thread of its own, as Windows does, so a handler that takes long (the first
// Ctrl+C tears the run down) never holds back the next event, whose handler may let the
// default action end the process at once.

namespace platform {

namespace {

std::atomic<ConsoleControlHandler> installedHandler{nullptr};

sigset_t ControlSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGHUP);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGQUIT);
  return set;
}

uint32_t EventOf(int signal) {
  switch (signal) {
    case SIGINT:
      return kCtrlCEvent;
    case SIGHUP:
      return kCtrlCloseEvent;
    case SIGQUIT:
      return kCtrlBreakEvent;
    default:
      return kCtrlShutdownEvent;
  }
}

// The default handling of an unhandled event: end the process the way the signal would have.
[[noreturn]] void EndProcessBySignal(int signal) {
  RestoreConsoleInput();
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigaction(signal, &action, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  pthread_kill(pthread_self(), signal);
  for (;;) pause();
}

void HandleControlSignal(int signal) {
  const ConsoleControlHandler handler = installedHandler.load();
  if (handler == nullptr || !handler(EventOf(signal))) EndProcessBySignal(signal);
}

[[noreturn]] void WaitForControlSignals(sigset_t set) {
  for (;;) {
    int signal = 0;
    if (sigwait(&set, &signal) != 0) continue;
    try {
      std::thread(HandleControlSignal, signal).detach();
    } catch (const std::system_error&) {
      HandleControlSignal(signal);  // no thread to be had: handled here, as before
    }
  }
}

}  // namespace

void StartConsoleControl() {
  const sigset_t set = ControlSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::thread(WaitForControlSignals, set).detach();
}

void SetConsoleControlHandler(ConsoleControlHandler handler) { installedHandler.store(handler); }

}  // namespace platform
