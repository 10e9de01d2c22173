#include "platform/posix/key_poller.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <vector>

namespace platform {

KeyPoller::KeyPoller(int fd) : fd_(fd) {
  if (isatty(fd_) && tcgetattr(fd_, &savedMode_) == 0) {
    termios raw = savedMode_;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    terminalChanged_ = tcsetattr(fd_, TCSANOW, &raw) == 0;
  }
}

KeyPoller::~KeyPoller() { RestoreTerminal(); }

void KeyPoller::RestoreTerminal() {
  std::lock_guard lock(mutex_);
  if (terminalChanged_) {
    tcsetattr(fd_, TCSANOW, &savedMode_);
    terminalChanged_ = false;
  }
}

bool KeyPoller::IsKeyPressed(VirtualKey key) {
  std::lock_guard lock(mutex_);
  ReadPendingInput();
  bool& pressed = key == kKeyEnter ? enterPressed_ : escapePressed_;
  const bool result = pressed;
  pressed = false;
  return result;
}

Waitable* KeyPoller::Input() {
  std::lock_guard lock(mutex_);
  return endOfInput_ ? nullptr : &input_;
}

void KeyPoller::ReadPendingInput() {
  while (!endOfInput_) {
    pollfd pfd{fd_, POLLIN, 0};
    if (poll(&pfd, 1, 0) <= 0) return;
    if ((pfd.revents & (POLLERR | POLLNVAL)) != 0) {
      endOfInput_ = true;
      return;
    }
    if ((pfd.revents & (POLLIN | POLLHUP)) == 0) return;
    int available = 0;
    if (ioctl(fd_, FIONREAD, &available) != 0 || available < 1) available = 1;
    std::vector<unsigned char> bytes(static_cast<size_t>(available));
    const ssize_t count = read(fd_, bytes.data(), bytes.size());
    if (count <= 0) {
      // End of a pipe, a hung-up terminal or an input that fails: no key can arrive any more,
      // and a wait for input must not wake on it again and again.
      endOfInput_ = count == 0 || (errno != EAGAIN && errno != EINTR);
      return;
    }
    Scan(bytes.data(), count);
  }
}

void KeyPoller::Scan(const unsigned char* bytes, long count) {
  for (long i = 0; i < count; ++i) {
    if (bytes[i] == '\n' || bytes[i] == '\r') {
      enterPressed_ = true;
    } else if (bytes[i] == 0x1b) {
      // ESC followed at once by '[' or 'O' starts the sequence of a cursor or function key.
      const bool sequence = i + 1 < count && (bytes[i + 1] == '[' || bytes[i + 1] == 'O');
      if (!sequence) escapePressed_ = true;
    }
  }
}

namespace {

KeyPoller& ConsolePoller() {
  static KeyPoller poller(STDIN_FILENO);
  return poller;
}

std::atomic<bool> consolePollerStarted{false};

}  // namespace

bool IsKeyPressed(VirtualKey key) {
  consolePollerStarted = true;
  return ConsolePoller().IsKeyPressed(key);
}

Waitable* ConsoleKeyInput() {
  consolePollerStarted = true;
  return ConsolePoller().Input();
}

void RestoreConsoleInput() {
  if (consolePollerStarted) ConsolePoller().RestoreTerminal();
}

}  // namespace platform
