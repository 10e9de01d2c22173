#include "launcher.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

namespace sampleapp {

std::string OwnExecutablePath() {
  std::string self(4096, '\0');
  const ssize_t length = readlink("/proc/self/exe", self.data(), self.size() - 1);
  self.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return self;
}

int RunLauncher(LauncherMode mode, const std::vector<std::string>& arguments) {
  // The VR application is this very executable.
  std::string self = OwnExecutablePath();
  if (self.empty()) {
    std::cerr << "corvia-sample-app: cannot find its own executable: " << std::strerror(errno)
              << std::endl;
    return 1;
  }
  std::vector<char*> argv = {self.data()};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  pid_t child = 0;
  if (const int error = posix_spawn(&child, self.c_str(), nullptr, nullptr, argv.data(), environ)) {
    std::cerr << "corvia-sample-app: cannot start the VR application: " << std::strerror(error)
              << std::endl;
    return 1;
  }
  if (mode == LauncherMode::kExit) return 0;
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return 1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace sampleapp
