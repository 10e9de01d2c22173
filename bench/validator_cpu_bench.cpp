// The validator's own processor time while it measures a frame rate: runs the validator with
// TestFrameRate against the sample application and reads, from outside, the processor time
// (user + system, all threads) of the validator's process and of the application's from
// /proc/PID/stat at the start and the end of the measurement ("Starting test..." to
// "Average FPS: "). Prints both as a share of one core.
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
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

/// Processor time of process `pid` in seconds (utime + stime), or -1 when it cannot be read.
double ProcessorSeconds(pid_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const size_t end = text.rfind(')');
  if (end == std::string::npos) return -1.0;
  std::istringstream fields(text.substr(end + 2));
  std::string field;
  unsigned long long user = 0, system = 0;
  // After the command name: state (3) ... utime (14), stime (15).
  for (int index = 3; index <= 15 && fields >> field; ++index) {
    if (index == 14) user = std::stoull(field);
    if (index == 15) system = std::stoull(field);
  }
  return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
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
  double validator = 0.0;
  double application = 0.0;
};

Sample Take(pid_t validator, pid_t application) {
  return {Clock::now(), ProcessorSeconds(validator),
          application != 0 ? ProcessorSeconds(application) : -1.0};
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
  std::printf("\nmeasurement: %.2f s of wall time (machine: %ld processors)\n", wall,
              sysconf(_SC_NPROCESSORS_ONLN));
  std::printf("validator:   %.3f s of processor time, %.2f %% of one core\n",
              end.validator - start.validator, 100.0 * (end.validator - start.validator) / wall);
  if (start.application >= 0.0 && end.application >= 0.0) {
    std::printf("application: %.3f s of processor time, %.2f %% of one core\n",
                end.application - start.application,
                100.0 * (end.application - start.application) / wall);
  }
  return 0;
}
