#include "conversation.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>

namespace e2e {

namespace {

using Clock = std::chrono::steady_clock;

void WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t count = write(fd, text.data() + done, text.size() - done);
    if (count <= 0) return;
    done += static_cast<size_t>(count);
  }
}

}  // namespace

Conversation Converse(const std::vector<std::string>& command, const std::string& opening,
                      const std::vector<Turn>& turns, std::chrono::seconds limit) {
  signal(SIGPIPE, SIG_IGN);  // a command that ended early must not end the test
  int input[2], output[2], errors[2];
  Conversation conversation;
  if (pipe(input) != 0 || pipe(output) != 0 || pipe(errors) != 0) return conversation;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errors[1], STDERR_FILENO);
  for (const int fd : {input[0], input[1], output[0], output[1], errors[0], errors[1]}) {
    posix_spawn_file_actions_addclose(&actions, fd);
  }
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);  // a group of its own
  std::vector<char*> argv;
  for (const std::string& argument : command) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  for (const int fd : {input[0], output[1], errors[1]}) close(fd);
  if (spawned != 0) {
    for (const int fd : {input[1], output[0], errors[0]}) close(fd);
    return conversation;
  }

  WriteAll(input[1], opening);
  const Clock::time_point deadline = Clock::now() + limit;
  std::string& out = conversation.outcome.out;
  size_t turn = 0;
  size_t searchFrom = 0;
  std::optional<Clock::time_point> replyAt;  // when the awaited text of `turn` has appeared
  pollfd streams[2] = {{output[0], POLLIN, 0}, {errors[0], POLLIN, 0}};
  int open = 2;
  bool killed = false;
  while (open > 0) {
    if (Clock::now() >= deadline) {
      kill(-pid, SIGKILL);
      killed = true;
      break;
    }
    const int ready = poll(streams, 2, 50);
    for (pollfd& stream : streams) {
      if (ready <= 0 || stream.fd < 0 || stream.revents == 0) continue;
      char buffer[4096];
      const ssize_t count = read(stream.fd, buffer, sizeof buffer);
      if (count <= 0) {
        close(stream.fd);
        stream.fd = -1;
        --open;
        continue;
      }
      (stream.fd == output[0] ? out : conversation.outcome.err).append(buffer, count);
    }
    if (!replyAt && turn < turns.size()) {
      const size_t found = out.find(turns[turn].awaited, searchFrom);
      if (found != std::string::npos) {
        searchFrom = found + turns[turn].awaited.size();
        replyAt = Clock::now() + turns[turn].pause;
      }
    }
    // The reply goes out once the pause has passed and nothing more was pending, so that the
    // output noted with it is all the command printed before it.
    if (replyAt && ready == 0 && Clock::now() >= *replyAt) {
      conversation.outputAtReplies.push_back(out);
      WriteAll(input[1], turns[turn].reply);
      ++turn;
      replyAt.reset();
    }
  }
  for (pollfd& stream : streams) {
    if (stream.fd >= 0) close(stream.fd);
  }
  close(input[1]);
  int status = 0;
  waitpid(pid, &status, 0);
  conversation.outcome.exitStatus = killed              ? -1
                                    : WIFEXITED(status) ? WEXITSTATUS(status)
                                                        : 128 + WTERMSIG(status);
  return conversation;
}

}  // namespace e2e
