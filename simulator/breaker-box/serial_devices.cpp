#include "serial_devices.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/epoll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/machine.h"

namespace luxsim {

/// One pseudo-terminal: the device's end (the master), the end that the COM port's name links
/// to, and the device's firmware. The module keeps the linked end open itself, so that the
/// device's end never sees the line hang up between two users of the port.
struct SerialDevices::Port {
  std::string link;
  UniqueFd device;
  UniqueFd line;
  SerialDevice firmware;
};

SerialDevices::SerialDevices(std::vector<SerialDeviceConfig> devices)
    : configs_(std::move(devices)) {}

SerialDevices::~SerialDevices() {
  for (const std::unique_ptr<Port>& port : ports_) {
    if (loop_ != nullptr) loop_->Unwatch(port->device.Get());
    std::error_code ignored;
    std::filesystem::remove(port->link, ignored);
  }
}

bool SerialDevices::Start(ServiceContext& context, std::string* error) {
  loop_ = &context.loop;
  for (const SerialDeviceConfig& config : configs_) {
    if (!Open(config, context.headset, error)) return false;
  }
  return true;
}

bool SerialDevices::Open(const SerialDeviceConfig& config, HeadsetState& headset,
                         std::string* error) {
  const auto fail = [&](const std::string& what) {
    *error = "cannot " + what + " for " + config.port + ": " + std::strerror(errno);
    return false;
  };
  UniqueFd device(posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  char name[64];
  if (!device.IsValid() || grantpt(device.Get()) != 0 || unlockpt(device.Get()) != 0 ||
      ptsname_r(device.Get(), name, sizeof name) != 0) {
    return fail("make a pseudo-terminal");
  }
  UniqueFd line(open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
  termios attributes{};
  if (!line.IsValid() || tcgetattr(line.Get(), &attributes) != 0) {
    return fail("open " + std::string(name));
  }
  cfmakeraw(&attributes);
  if (tcsetattr(line.Get(), TCSANOW, &attributes) != 0) return fail("set up " + std::string(name));

  const std::string link = platform::MachinePath("dev/" + config.port);
  std::error_code failure;
  std::filesystem::create_directories(platform::MachinePath("dev"), failure);
  std::filesystem::remove(link, failure);
  if (symlink(name, link.c_str()) != 0) return fail("link " + link);

  auto port = std::make_unique<Port>(Port{
      link, std::move(device), std::move(line),
      SerialDevice(config.kind, [&headset](bool connected) { headset.SetConnected(connected); })});
  Port& watched = *port;
  ports_.push_back(std::move(port));
  if (!loop_->Watch(watched.device.Get(), EPOLLIN,
                    [this, &watched](uint32_t) { OnReadable(watched); })) {
    return fail("watch " + std::string(name));
  }
  return true;
}

void SerialDevices::OnReadable(Port& port) {
  char buffer[512];
  std::string sent;
  for (;;) {
    const ssize_t count = read(port.device.Get(), buffer, sizeof buffer);
    if (count > 0) {
      sent += port.firmware.Receive(std::string_view(buffer, static_cast<size_t>(count)));
      continue;
    }
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && errno == EAGAIN) break;
    loop_->Unwatch(port.device.Get());  // the line failed: the device falls silent
    return;
  }
  // Like a real device's output, what the line cannot take at once (nobody reads it and its
  // buffer is full) is lost.
  if (sent.empty()) return;
  [[maybe_unused]] const ssize_t written = write(port.device.Get(), sent.data(), sent.size());
}

}  // namespace luxsim
