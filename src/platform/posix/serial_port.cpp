#include "platform/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/handle.h"
#include "platform/machine.h"

// COM ports are terminal devices named under the machine prefix: "dev/COM3" links to the
// terminal that stands for COM3 (on a real machine /dev/ttyUSB0, /dev/ttyACM0, ...).
//
// A Windows COM port passes bytes unchanged, so the port is put into raw mode when it opens: no
// canonical lines, no echo, no signals, no translation of line ends. Only the DCB's settings
// are the caller's to change. The port is exclusive (TIOCEXCL) while it is open, and what
// earlier users left in its buffers is discarded, as a freshly opened Windows port starts
// empty.

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

struct BaudRate {
  uint32_t rate;
  speed_t speed;
};

constexpr BaudRate kBaudRates[] = {
    {110, B110},       {300, B300},       {600, B600},       {1200, B1200},     {2400, B2400},
    {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

/// Milliseconds left until `deadline`, at least 0, as poll takes them.
int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

/// Waits until `fd` is ready for `events` or `deadline` passes: 1 ready, 0 time-out, -1 error.
int WaitReady(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    pollfd entry{fd, events, 0};
    const int ready = poll(&entry, 1, RemainingMs(deadline));
    if (ready >= 0 || errno != EINTR) return ready;
  }
}

class TerminalSerialPort final : public SerialPort {
 public:
  explicit TerminalSerialPort(OwnedHandle terminal) : terminal_(std::move(terminal)) {}
  ~TerminalSerialPort() override {
    const int saved = errno;
    ioctl(Fd(), TIOCNXCL);  // the exclusive mode would outlive the descriptor
    errno = saved;
  }

  bool GetLineSettings(SerialLineSettings& settings) override {
    termios attributes{};
    if (tcgetattr(Fd(), &attributes) != 0) return false;
    const speed_t speed = cfgetospeed(&attributes);
    settings.baudRate = 0;
    for (const BaudRate& entry : kBaudRates) {
      if (entry.speed == speed) settings.baudRate = entry.rate;
    }
    switch (attributes.c_cflag & CSIZE) {
      case CS5:
        settings.byteSize = 5;
        break;
      case CS6:
        settings.byteSize = 6;
        break;
      case CS7:
        settings.byteSize = 7;
        break;
      default:
        settings.byteSize = 8;
        break;
    }
    const bool odd = (attributes.c_cflag & PARODD) != 0;
    if ((attributes.c_cflag & PARENB) == 0) {
      settings.parity = SerialParity::kNone;
    } else if ((attributes.c_cflag & CMSPAR) != 0) {
      settings.parity = odd ? SerialParity::kMark : SerialParity::kSpace;
    } else {
      settings.parity = odd ? SerialParity::kOdd : SerialParity::kEven;
    }
    settings.stopBits =
        (attributes.c_cflag & CSTOPB) != 0 ? SerialStopBits::kTwo : SerialStopBits::kOne;
    settings.outX = (attributes.c_iflag & IXON) != 0;
    settings.inX = (attributes.c_iflag & IXOFF) != 0;
    return true;
  }

  bool SetLineSettings(const SerialLineSettings& settings) override {
    termios attributes{};
    if (tcgetattr(Fd(), &attributes) != 0) return false;
    const BaudRate* baud = nullptr;
    for (const BaudRate& entry : kBaudRates) {
      if (entry.rate == settings.baudRate) baud = &entry;
    }
    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    // A terminal has no one and a half stop bits.
    if (baud == nullptr || settings.byteSize < 5 || settings.byteSize > 8 ||
        settings.stopBits == SerialStopBits::kOnePointFive) {
      errno = EINVAL;
      return false;
    }
    cfsetispeed(&attributes, baud->speed);
    cfsetospeed(&attributes, baud->speed);
    attributes.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
    attributes.c_cflag |= kSizes[settings.byteSize - 5];
    switch (settings.parity) {
      case SerialParity::kNone:
        break;
      case SerialParity::kOdd:
        attributes.c_cflag |= PARENB | PARODD;
        break;
      case SerialParity::kEven:
        attributes.c_cflag |= PARENB;
        break;
      case SerialParity::kMark:
        attributes.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
      case SerialParity::kSpace:
        attributes.c_cflag |= PARENB | CMSPAR;
        break;
    }
    if (settings.stopBits == SerialStopBits::kTwo) attributes.c_cflag |= CSTOPB;
    attributes.c_iflag &= ~(IXON | IXOFF);
    if (settings.outX) attributes.c_iflag |= IXON;
    if (settings.inX) attributes.c_iflag |= IXOFF;
    return tcsetattr(Fd(), TCSANOW, &attributes) == 0;
  }

  // The interval becomes the terminal's inter-byte timer (VTIME, in tenths of a second, at most
  // 25.5 s); a read returns once one byte has arrived (VMIN 1).
  bool SetReadIntervalTimeout(std::chrono::milliseconds interval) override {
    termios attributes{};
    if (tcgetattr(Fd(), &attributes) != 0) return false;
    const auto tenths = std::chrono::ceil<std::chrono::duration<int64_t, std::deci>>(interval);
    attributes.c_cc[VMIN] = 1;
    attributes.c_cc[VTIME] = static_cast<cc_t>(std::clamp<int64_t>(tenths.count(), 0, 255));
    return tcsetattr(Fd(), TCSANOW, &attributes) == 0;
  }

  bool Write(std::string_view bytes, std::chrono::milliseconds limit) override {
    const Clock::time_point deadline = Clock::now() + limit;
    while (!bytes.empty()) {
      const int ready = WaitReady(Fd(), POLLOUT, deadline);
      if (ready <= 0) {
        if (ready == 0) errno = ETIMEDOUT;
        return false;
      }
      const ssize_t written = write(Fd(), bytes.data(), bytes.size());
      if (written < 0) {
        if (errno == EINTR || errno == EAGAIN) continue;
        return false;
      }
      bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
  }

  SerialRead ReadByte(uint8_t& byte, std::chrono::milliseconds limit) override {
    const Clock::time_point deadline = Clock::now() + limit;
    for (;;) {
      const int ready = WaitReady(Fd(), POLLIN, deadline);
      if (ready == 0) return SerialRead::kTimeout;
      if (ready < 0) return SerialRead::kFailed;
      const ssize_t count = read(Fd(), &byte, 1);
      if (count == 1) return SerialRead::kByte;
      if (count < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (count == 0) errno = EIO;  // the device went away
      return SerialRead::kFailed;
    }
  }

 private:
  int Fd() const { return static_cast<int>(terminal_.Get()); }

  OwnedHandle terminal_;
};

/// Puts the terminal `fd` into raw mode and empties its buffers.
bool MakeRaw(int fd) {
  termios attributes{};
  if (tcgetattr(fd, &attributes) != 0) return false;
  attributes.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL);
  attributes.c_oflag &= ~OPOST;
  attributes.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  attributes.c_cflag |= CREAD | CLOCAL;
  attributes.c_cc[VMIN] = 1;
  attributes.c_cc[VTIME] = 0;
  return tcsetattr(fd, TCSANOW, &attributes) == 0 && tcflush(fd, TCIOFLUSH) == 0;
}

}  // namespace

std::unique_ptr<SerialPort> OpenSerialPort(const std::string& name) {
  // Without O_NONBLOCK, opening a serial line can wait for its carrier.
  OwnedHandle terminal(
      open(MachinePath("dev/" + name).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!terminal.IsValid()) return nullptr;
  const int fd = static_cast<int>(terminal.Get());
  if (!isatty(fd) || ioctl(fd, TIOCEXCL) != 0) return nullptr;
  auto port = std::make_unique<TerminalSerialPort>(std::move(terminal));
  if (!MakeRaw(fd)) return nullptr;
  return port;
}

}  // namespace platform
