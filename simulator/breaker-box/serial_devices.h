#pragma once

#include <memory>
#include <string>
#include <vector>

#include "protocol/unique_fd.h"
#include "serial_device.h"
#include "service_module.h"

namespace luxsim {

/// A simulated device on a COM port of the machine.
struct SerialDeviceConfig {
  std::string port;  // "COM1", ...
  SerialDeviceKind kind = SerialDeviceKind::kBreakerBox;
};

/// The simulated serial devices of the machine, a module of the runtime service: each one
/// answers on a pseudo-terminal that the COM port's name under the machine prefix
/// ("dev/COM3") links to. A breaker box switches the headset's HDMI cable. The links go when
/// the module does.
class SerialDevices final : public ServiceModule {
 public:
  explicit SerialDevices(std::vector<SerialDeviceConfig> devices);
  ~SerialDevices() override;
  SerialDevices(const SerialDevices&) = delete;
  SerialDevices& operator=(const SerialDevices&) = delete;

  bool Start(ServiceContext& context, std::string* error) override;

 private:
  struct Port;

  bool Open(const SerialDeviceConfig& config, HeadsetState& headset, std::string* error);
  void OnReadable(Port& port);

  std::vector<SerialDeviceConfig> configs_;
  EventLoop* loop_ = nullptr;
  std::vector<std::unique_ptr<Port>> ports_;
};

}  // namespace luxsim
