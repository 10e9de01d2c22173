#include "conversation.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace e2e {

Conversation Converse(const std::vector<std::string>& command, const std::string& opening,
                      const std::vector<Turn>& turns, std::chrono::seconds limit) {
  using Clock = std::chrono::steady_clock;
  signal(SIGPIPE, SIG_IGN);  // a command that ended early must not end the test
  std::vector<char*> argv;
  for (const std::string& argument : command) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  int input[2], output[2];
  Conversation conversation;
  if (pipe(input) != 0 || pipe(output) != 0) return conversation;
  const pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);  // a group of its own, killed as a whole
    dup2(input[0], STDIN_FILENO);
    dup2(output[1], STDOUT_FILENO);
    for (const int fd : {input[0], input[1], output[0], output[1]}) close(fd);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(input[0]);
  close(output[1]);
  const auto type = [&](const std::string& text) {
    if (write(input[1], text.data(), text.size()) < 0) return;
  };
  type(opening);
  const Clock::time_point deadline = Clock::now() + limit;
  std::string& out = conversation.outcome.out;
  size_t turn = 0, searchFrom = 0;
  // When the reply of `turn` is due; none until its awaited text has appeared.
  constexpr Clock::time_point kNotYet = Clock::time_point::max();
  Clock::time_point replyAt = kNotYet;
  for (;;) {
    if (Clock::now() >= deadline) {
      kill(-pid, SIGKILL);
      break;
    }
    pollfd stream{output[0], POLLIN, 0};
    const int ready = poll(&stream, 1, 50);
    if (ready > 0) {
      char buffer[4096];
      const ssize_t count = read(output[0], buffer, sizeof buffer);
      if (count <= 0) break;
      out.append(buffer, static_cast<size_t>(count));
    }
    if (replyAt == kNotYet && turn < turns.size()) {
      const size_t found = out.find(turns[turn].awaited, searchFrom);
      if (found != std::string::npos) {
        searchFrom = found + turns[turn].awaited.size();
        replyAt = Clock::now() + turns[turn].pause;
      }
    }
    // Typed once nothing more is pending, so that the output noted is all that came before.
    if (replyAt != kNotYet && ready == 0 && Clock::now() >= replyAt) {
      conversation.outputAtReplies.push_back(out);
      type(turns[turn++].reply);
      replyAt = kNotYet;
    }
  }
  close(output[0]);
  close(input[1]);
  int status = 0;
  waitpid(pid, &status, 0);
  const bool exited = WIFEXITED(status) && Clock::now() < deadline;
  conversation.outcome.exitStatus = exited ? WEXITSTATUS(status) : -1;
  return conversation;
}

}  // namespace e2e
