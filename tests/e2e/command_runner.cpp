#include "command_runner.h"

#include <unistd.h>

namespace e2e {

CommandOutcome RunCommand(const std::vector<std::string>& command) {
  std::vector<char*> argv;
  for (const std::string& argument : command) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  return testsupport::RunInChild([&argv] {
    execvp(argv[0], argv.data());
    return 127;
  });
}

std::vector<std::string> OnSimulator(const std::vector<std::string>& options,
                                     const std::vector<std::string>& command) {
  std::vector<std::string> full = {CORVIA_WITH_SIMULATOR, "--build", CORVIA_BUILD_DIR};
  full.insert(full.end(), options.begin(), options.end());
  full.insert(full.end(), command.begin(), command.end());
  return full;
}

CommandOutcome RunWithSimulator(const std::vector<std::string>& options,
                                const std::vector<std::string>& command) {
  return RunCommand(OnSimulator(options, command));
}

}  // namespace e2e
