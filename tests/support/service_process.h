#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace testsupport {

/// The simulated runtime service (CORVIA_RUNTIME_SERVICE) running on the current machine
/// prefix with `options`, from construction until Stop or destruction.
class ServiceProcess {
 public:
  explicit ServiceProcess(const std::vector<std::string>& options = {});
  ~ServiceProcess();
  ServiceProcess(const ServiceProcess&) = delete;
  ServiceProcess& operator=(const ServiceProcess&) = delete;

  /// True once the service accepts clients.
  bool Ready() const { return ready_; }
  /// Ends the service with SIGTERM and returns its exit status (128 + signal when one ended it).
  int Stop();

 private:
  pid_t pid_ = -1;
  bool ready_ = false;
};

}  // namespace testsupport
