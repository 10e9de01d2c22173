#include "command_runner.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>

namespace e2e {

namespace {

/// `text` as a regular expression that matches it literally.
std::string Escaped(const std::string& text) {
  static const std::string special = R"(\^$.|?*+()[]{})";
  std::string escaped;
  for (const char c : text) {
    if (special.find(c) != std::string::npos) escaped += '\\';
    escaped += c;
  }
  return escaped;
}

}  // namespace

CommandOutcome RunCommand(const std::vector<std::string>& command) {
  std::vector<char*> argv;
  for (const std::string& argument : command) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  return testsupport::RunInChild([&argv] {
    execvp(argv[0], argv.data());
    return 127;
  });
}

CommandOutcome RunWithSimulator(const std::vector<std::string>& options,
                                const std::vector<std::string>& command) {
  std::vector<std::string> full = {CORVIA_WITH_SIMULATOR, "--build", CORVIA_BUILD_DIR};
  full.insert(full.end(), options.begin(), options.end());
  full.insert(full.end(), command.begin(), command.end());
  return RunCommand(full);
}

std::vector<std::string> ValidatorCommand(const std::string& application,
                                          const std::vector<std::string>& options,
                                          const std::vector<std::string>& switches) {
  std::vector<std::string> command = {CORVIA_VALIDATOR, "--path", application};
  command.insert(command.end(), options.begin(), options.end());
  if (!switches.empty()) {
    command.push_back("--");
    command.insert(command.end(), switches.begin(), switches.end());
  }
  return command;
}

CommandOutcome RunValidator(const std::vector<std::string>& options,
                            const std::vector<std::string>& switches,
                            const std::vector<std::string>& simulator) {
  return RunWithSimulator(simulator, ValidatorCommand(CORVIA_SAMPLE_APP, options, switches));
}

CommandOutcome ExpectRun(const std::string& expected, const std::vector<std::string>& options,
                         const std::vector<std::string>& switches,
                         const std::vector<std::string>& simulator,
                         const std::vector<std::string>& optional) {
  const CommandOutcome run = RunValidator(options, switches, simulator);
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_TRUE(Matches(run.out, expected, optional)) << run.out;
  return run;
}

bool Matches(const std::string& text, const std::string& expected,
             const std::vector<std::string>& optional) {
  std::string pattern;
  for (const char c : expected) {
    if (c == '#') {
      pattern += "[0-9]+\\.[0-9]{6}";
    } else if (c == '%') {
      pattern += "[0-9]+";
    } else {
      pattern += Escaped(std::string(1, c));
    }
  }
  for (const std::string& line : optional) {
    const std::string required = Escaped(line) + "\n";
    const size_t at = pattern.find(required);
    if (at != std::string::npos) pattern.replace(at, required.size(), "(" + required + ")?");
  }
  return std::regex_match(text, std::regex(pattern));
}

double NumberAfter(const std::string& text, const std::string& prefix) {
  const size_t at = text.find(prefix);
  if (at == std::string::npos) return -1.0;
  return std::stod(text.substr(at + prefix.size()));
}

std::string Started(const std::string& test) {
  return "Starting " + test + "\nDismissing the health and safety warning\n";
}

std::vector<std::string> QuickLoadOptions(const std::vector<std::string>& tests) {
  std::vector<std::string> options = {"--load_time_ms", "500"};
  for (const std::string& test : tests) options.insert(options.end(), {"--test", test});
  return options;
}

std::string BegunAfterQuickLoad(const std::string& test) {
  return Started(test) + LoadWait(0) + "Starting test...\n";
}

}  // namespace e2e
