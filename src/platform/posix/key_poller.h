#pragma once

#include <mutex>

#include <termios.h>

#include "platform/key_state.h"
#include "platform/waitable.h"

namespace platform {

/// Watches a console input descriptor (a terminal or a pipe) for the Enter and ESC keys with
/// the "pressed since the previous query" memory of GetAsyncKeyState. A terminal is switched
/// to non-canonical input without echo, so single key presses arrive at once, and restored when
/// the poller is destroyed or `RestoreTerminal` is called.
class KeyPoller {
 public:
  explicit KeyPoller(int fd);
  ~KeyPoller();
  KeyPoller(const KeyPoller&) = delete;
  KeyPoller& operator=(const KeyPoller&) = delete;

  /// True when `key` was pressed since the previous query of that key.
  bool IsKeyPressed(VirtualKey key);

  /// The input as an object to wait on: signalled while unread input is waiting. Null once the
  /// input has ended.
  Waitable* Input();

  /// Puts a terminal back into the mode it had before the poller changed it.
  void RestoreTerminal();

 private:
  class InputDescriptor : public Waitable {
   public:
    explicit InputDescriptor(int fd) : fd_(fd) {}

   private:
    intptr_t WaitHandle() const override { return fd_; }
    const int fd_;
  };

  void ReadPendingInput();
  void Scan(const unsigned char* bytes, long count);

  const int fd_;
  InputDescriptor input_{fd_};
  std::mutex mutex_;  // guards every field below
  bool enterPressed_ = false;
  bool escapePressed_ = false;
  bool endOfInput_ = false;
  bool terminalChanged_ = false;
  termios savedMode_{};
};

/// Restores the console input mode of the process-wide poller, if it changed it. Safe to call
/// from any thread, before the process ends abnormally.
void RestoreConsoleInput();

}  // namespace platform
