#include "support/child_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "support/read_file.h"

namespace testsupport {

namespace {

std::string TempFile(const char* tag) {
  std::string name = std::string("/tmp/corvia-child-") + tag + "-XXXXXX";
  const int fd = mkstemp(name.data());
  if (fd >= 0) close(fd);
  return name;
}

}  // namespace

ChildOutcome RunInChild(const std::function<int()>& body) {
  const std::string outPath = TempFile("out");
  const std::string errPath = TempFile("err");
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(outPath.c_str(), O_WRONLY | O_TRUNC);
    const int err = open(errPath.c_str(), O_WRONLY | O_TRUNC);
    dup2(in, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    close(in);
    close(out);
    close(err);
    const int status = body();
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    _exit(status);
  }
  ChildOutcome outcome;
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid) {
    outcome.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  outcome.out = ReadFile(outPath);
  outcome.err = ReadFile(errPath);
  unlink(outPath.c_str());
  unlink(errPath.c_str());
  return outcome;
}

}  // namespace testsupport
