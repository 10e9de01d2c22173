#include "support/service_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

namespace testsupport {

namespace {

constexpr int kReadyTimeoutMs = 20000;

}  // namespace

ServiceProcess::ServiceProcess(const std::vector<std::string>& options) {
  int ready[2];
  if (pipe2(ready, O_CLOEXEC) != 0) return;
  std::vector<std::string> command = {CORVIA_RUNTIME_SERVICE};
  command.insert(command.end(), options.begin(), options.end());
  command.push_back("--notify-fd");
  command.push_back("3");
  std::vector<char*> argv;
  for (std::string& argument : command) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    // The readiness pipe becomes descriptor 3 of the service, kept across exec.
    if (dup2(ready[1], 3) < 0 || fcntl(3, F_SETFD, 0) != 0) _exit(127);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(ready[1]);
  pollfd wait{ready[0], POLLIN, 0};
  char line[6] = {};
  ready_ = pid_ > 0 && poll(&wait, 1, kReadyTimeoutMs) == 1 &&
           read(ready[0], line, sizeof line) == sizeof line && std::memcmp(line, "READY\n", 6) == 0;
  close(ready[0]);
}

ServiceProcess::~ServiceProcess() {
  if (pid_ > 0) Stop();
}

int ServiceProcess::Stop() {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace testsupport
