// The validator's own processor time while it measures a frame rate: runs the validator with
// TestFrameRate against the sample application and reads, from outside, the processor time of
// every thread of the validator's process and of the application's, at the start and the end of
// the measurement ("Starting test..." to "Average FPS: "). Prints them as shares of one core,
// with the validator's threads one by one and how often each woke up (its voluntary context
// switches), since waking up is what a waiting thread costs.
//
// The times are the scheduler's, in nanoseconds (/proc/PID/task/TID/schedstat); the wake-ups
// are the voluntary context switches of /proc/PID/task/TID/status.
//
// Run it on a simulated machine:
//   scripts/with-simulator build/default/bench/validator_cpu_bench [seconds, default 20]
//       [more validator options, e.g. --print_fps]

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

/// What one thread has used so far.
struct ThreadUse {
  double seconds = 0.0;  // on a processor
  long wakeUps = 0;      // voluntary context switches
};

/// The threads of process `pid` by name (threads of one name added up), nothing when it has
/// none that can be read.
std::map<std::string, ThreadUse> ThreadsOf(pid_t pid) {
  std::map<std::string, ThreadUse> threads;
  const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
  std::error_code error;
  for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
    std::string name;
    std::getline(std::ifstream(task.path() / "comm"), name);
    unsigned long long nanoseconds = 0;
    std::ifstream(task.path() / "schedstat") >> nanoseconds;
    ThreadUse& use = threads[name];
    use.seconds += static_cast<double>(nanoseconds) / 1e9;
    std::ifstream status(task.path() / "status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0) use.wakeUps += std::stol(line.substr(24));
    }
  }
  return threads;
}

double TotalSeconds(const std::map<std::string, ThreadUse>& threads) {
  double seconds = 0.0;
  for (const auto& [name, use] : threads) seconds += use.seconds;
  return seconds;
}

/// The id of the first child of `pid` (the launched application), 0 when there is none.
pid_t FirstChild(pid_t pid) {
  std::ifstream children("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) +
                         "/children");
  pid_t child = 0;
  children >> child;
  return child;
}

struct Sample {
  Clock::time_point time;
  std::map<std::string, ThreadUse> validator;
  std::map<std::string, ThreadUse> application;
};

Sample Take(pid_t validator, pid_t application) {
  return {Clock::now(), ThreadsOf(validator),
          application != 0 ? ThreadsOf(application) : std::map<std::string, ThreadUse>{}};
}

void PrintShare(const char* what, double seconds, double wall) {
  std::printf("%-24s %7.3f s of processor time, %6.3f %% of one core\n", what, seconds,
              100.0 * seconds / wall);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string seconds = argc > 1 ? argv[1] : "20";
  const std::string validatorPath = CORVIA_VALIDATOR;
  std::vector<std::string> arguments = {
      validatorPath,    "--path", CORVIA_SAMPLE_APP,     "--test", "TestFrameRate",
      "--load_time_ms", "2000",   "--fps_test_duration", seconds};
  for (int i = 2; i < argc; ++i) arguments.emplace_back(argv[i]);
  std::vector<char*> argv2;
  for (std::string& argument : arguments) argv2.push_back(argument.data());
  argv2.push_back(nullptr);

  int output[2];
  if (pipe(output) != 0) return 1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, output[0]);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  pid_t validator = 0;
  if (posix_spawn(&validator, validatorPath.c_str(), &actions, nullptr, argv2.data(), environ) !=
      0) {
    std::perror("validator_cpu_bench: cannot start the validator");
    return 1;
  }
  posix_spawn_file_actions_destroy(&actions);
  close(output[1]);

  FILE* lines = fdopen(output[0], "r");
  char buffer[4096];
  Sample start;
  Sample end;
  pid_t application = 0;
  bool started = false;
  bool ended = false;
  while (std::fgets(buffer, sizeof buffer, lines) != nullptr) {
    const std::string line = buffer;
    std::fputs(buffer, stdout);
    if (line.rfind("Starting test...", 0) == 0) {
      application = FirstChild(validator);
      start = Take(validator, application);
      started = true;
    } else if (started && !ended && line.rfind("Average FPS: ", 0) == 0) {
      end = Take(validator, application);
      ended = true;
    }
  }
  std::fclose(lines);
  int status = 0;
  waitpid(validator, &status, 0);
  if (!ended) {
    std::fprintf(stderr, "validator_cpu_bench: the measurement did not complete\n");
    return 1;
  }
  const double wall = std::chrono::duration<double>(end.time - start.time).count();
  std::printf("\nmeasurement: %.3f s of wall time (machine: %ld processors)\n", wall,
              sysconf(_SC_NPROCESSORS_ONLN));
  PrintShare("validator:", TotalSeconds(end.validator) - TotalSeconds(start.validator), wall);
  for (const auto& [name, use] : end.validator) {
    const ThreadUse before = start.validator.count(name) ? start.validator.at(name) : ThreadUse{};
    PrintShare(("  thread " + name).c_str(), use.seconds - before.seconds, wall);
    std::printf("%-24s %7.1f wake-ups a second\n", "", (use.wakeUps - before.wakeUps) / wall);
  }
  if (!start.application.empty() && !end.application.empty()) {
    PrintShare("application:", TotalSeconds(end.application) - TotalSeconds(start.application),
               wall);
  }
  return 0;
}
