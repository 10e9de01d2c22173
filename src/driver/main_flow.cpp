#include "driver/main_flow.h"

#include <tclap/CmdLine.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <optional>

#include "driver/run_target.h"
#include "log/validator_log.h"
#include "platform/console_control.h"
#include "telemetry/usage_telemetry.h"
#include "validator/version.h"

namespace QasValidator {

namespace {

constexpr char kUseBreaker[] = "--use_breaker";

// Shared with the console-control thread. The target is used and cleared under targetLock, so
// the end of the main flow never lets it go while a FinalShutdown still uses it.
std::mutex targetLock;
RunTarget* runTarget = nullptr;  // guarded by targetLock
std::atomic<double> startTime{0.0};
std::atomic<bool> finalShutdownStarted{false};

// Offers the target to FinalShutdown for as long as the main flow runs. When the flow returns,
// on every path, the run is over: a console event from then on finds nothing to shut down and
// only ends the process, and the target may go away.
class PublishedRunTarget {
 public:
  explicit PublishedRunTarget(RunTarget& target) {
    std::lock_guard lock(targetLock);
    runTarget = &target;
  }
  ~PublishedRunTarget() {
    finalShutdownStarted.store(true);
    std::lock_guard lock(targetLock);
    runTarget = nullptr;
  }
  PublishedRunTarget(const PublishedRunTarget&) = delete;
  PublishedRunTarget& operator=(const PublishedRunTarget&) = delete;
};

struct Options {
  bool verbose = false;
  bool log = false;
  bool logFileGiven = false;
  std::string logFile;
  std::string path;
  bool listTests = false;
  int loadTimeMs = 0;
  int maxTimeToFrameMs = 0;
  double minAvgFps = 0.0;
  bool printFps = false;
  int fpsTestDuration = 0;
  std::vector<std::string> tests;
};

// Outcome of reading the command line: the options, or the exit status to end with.
struct ParseOutcome {
  std::optional<Options> options;
  int exitStatus = 0;
};

// Defines the options and parses `parserArguments`, from which the parser removes the
// program name. The parser reports its own errors, usage, help and version text.
ParseOutcome ParseCommandLine(std::vector<std::string>& parserArguments) {
  const std::string logFileDescription =
      std::string("Path of the log file. Default ") + DefaultLogFile;
  TCLAP::CmdLine cmd("", ' ', ValidatorVersion, true);
  TCLAP::SwitchArg verbose("v", "verbose", "Enable verbose mode", false);
  TCLAP::SwitchArg log("l", "log", "Enable logging", false);
  TCLAP::ValueArg<std::string> logFile("", "log_file", logFileDescription, false, DefaultLogFile,
                                       "string");
  TCLAP::ValueArg<std::string> path("", "path", "Path of the application's executable", true, "",
                                    "string");
  TCLAP::SwitchArg listTests("", "list_tests", "Prints list of all available tests", false);
  TCLAP::ValueArg<int> loadTime(
      "", "load_time_ms",
      "Time in milliseconds the application should run before testing begins. If this argument "
      "is set to 0, the application will run until the Enter key is pressed when prompted. "
      "Default 5000",
      false, 5000, "int");
  TCLAP::ValueArg<int> maxTimeToFrame(
      "", "max_time_to_frame",
      "Time in milliseconds the application is allowed to take between lux_Create and the first "
      "lux_SubmitFrame call. Default 4000.",
      false, 4000, "int");
  TCLAP::ValueArg<double> minAvgFps(
      "", "min_avg_fps",
      "Minimal average FPS the application is required to maintain during TestFrameRate "
      "validation",
      false, 85.0, "double");
  TCLAP::SwitchArg printFps("", "print_fps", "Print FPS during TestFrameRate validation", false);
  TCLAP::MultiArg<std::string> test("", "test", "Test to run, can be specified multiple times",
                                    false, "string");
  TCLAP::ValueArg<int> fpsTestDuration(
      "", "fps_test_duration", "Time in seconds the application will be running for TestFrameRate",
      false, 20, "int");

  try {
    cmd.add(verbose);
    cmd.add(log);
    cmd.add(logFile);
    cmd.xorAdd(path, listTests);
    cmd.add(loadTime);
    cmd.add(maxTimeToFrame);
    cmd.add(minAvgFps);
    cmd.add(printFps);
    cmd.add(test);
    cmd.add(fpsTestDuration);
  } catch (const TCLAP::ArgException& e) {
    std::cerr << "error: " << e.error() << " for arg " << e.argId() << std::endl;
    FinalShutdown();
    return {std::nullopt, 0};
  }

  // The parser ends the process on its own errors and after help or version; it is run with
  // its exception handling off so that the flow returns the status instead of exiting inside.
  cmd.setExceptionHandling(false);
  try {
    try {
      cmd.parse(parserArguments);
    } catch (TCLAP::ArgException& e) {
      cmd.getOutput()->failure(cmd, e);
    }
  } catch (const TCLAP::ExitException& e) {
    return {std::nullopt, e.getExitStatus()};
  }

  Options options;
  options.verbose = verbose.getValue();
  options.log = log.getValue();
  options.logFileGiven = logFile.isSet();
  options.logFile = logFile.getValue();
  options.path = path.getValue();
  options.listTests = listTests.getValue();
  options.loadTimeMs = loadTime.getValue();
  options.maxTimeToFrameMs = maxTimeToFrame.getValue();
  options.minAvgFps = minAvgFps.getValue();
  options.printFps = printFps.getValue();
  options.fpsTestDuration = fpsTestDuration.getValue();
  options.tests = test.getValue();
  return {std::move(options), 0};
}

// The arguments after the first "--" of the parser's list.
std::vector<std::string> ApplicationArgumentsOf(const std::vector<std::string>& parserArguments) {
  const auto separator = std::find(parserArguments.begin(), parserArguments.end(), "--");
  if (separator == parserArguments.end()) return {};
  return {separator + 1, parserArguments.end()};
}

void SendUserAction(const std::string& action) {
  UsageTelemetry::Instance().SendUserAction(action);
}

void SendUserAction(const std::string& action, const std::string& parameter) {
  UsageTelemetry::Instance().SendUserAction(action, parameter);
}

// A double as "%f" writes it: six decimals.
std::string FixedPointText(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%f", value);
  return text;
}

// Hands the settings to the validator, each after its usage-telemetry action.
void ApplySettings(const Options& options, const std::vector<std::string>& parserArguments,
                   RunTarget& target) {
  SendUserAction("Main_action_--load_time_ms", std::to_string(options.loadTimeMs));
  target.SetLoadTimeMs(options.loadTimeMs);
  target.SetApplication(options.path, ApplicationArgumentsOf(parserArguments));
  SendUserAction("Main_action_--max_time_to_frame", std::to_string(options.maxTimeToFrameMs));
  target.SetMaxTimeToFrame(options.maxTimeToFrameMs / 1000.0);
  SendUserAction("Main_action_--min_avg_fps", FixedPointText(options.minAvgFps));
  target.SetMinAvgFps(options.minAvgFps);
  SendUserAction("Main_action_--print_fps_arg", options.printFps ? "1" : "0");
  target.SetPrintFps(options.printFps);
  SendUserAction("Main_action_--fps_test_duration_arg", std::to_string(options.fpsTestDuration));
  target.SetFpsTestDuration(options.fpsTestDuration);
}

void SendTestCount(size_t count) {
  SendUserAction("Main_action_test_count", std::to_string(count));
}

// Runs the selected tests; returns false when a named test does not exist.
bool RunSelectedTests(const std::vector<std::string>& names, RunTarget& target) {
  const bool all = std::find(names.begin(), names.end(), "all") != names.end();
  if (all || names.empty()) {
    const std::vector<TestEntry> tests = all ? GetAllTests(target) : target.GetDefaultTests();
    SendTestCount(tests.size());
    for (const TestEntry& entry : tests) RunTestWithRetry(entry.procedure);
    return true;
  }
  SendTestCount(names.size());
  const std::map<std::string, TestProcedure> tests = GetTestMap(target);
  for (const std::string& name : names) {
    const auto test = tests.find(name);
    if (test == tests.end()) {
      std::cerr << "Failed to find test " << name << std::endl;
      return false;
    }
    RunTestWithRetry(test->second);
  }
  return true;
}

}  // namespace

void FinalShutdown() {
  if (finalShutdownStarted.exchange(true)) return;
  std::lock_guard lock(targetLock);
  RunTarget* target = runTarget;
  const double start = startTime.load();
  const double elapsedMs =
      target != nullptr && start != 0.0 ? (target->TimeInSeconds() - start) * 1000.0 : 0.0;
  UsageTelemetry::Instance().SendClose(FixedPointText(elapsedMs));
  if (target != nullptr) {
    target->Shutdown(true);
    runTarget = nullptr;
  }
}

bool ConsoleControlHandler(uint32_t event) {
  switch (event) {
    case platform::kCtrlCEvent:
    case platform::kCtrlCloseEvent:
    case platform::kCtrlLogoffEvent:
    case platform::kCtrlShutdownEvent:
      FinalShutdown();
      return false;
    default:
      return true;
  }
}

int RunMainFlow(const std::vector<std::string>& arguments, RunTarget& target) {
  if (std::find(arguments.begin(), arguments.end(), kUseBreaker) != arguments.end()) {
    target.SetUseBreakerBox(true);
  }
  if (target.Initialize() != 0) {
    Log(LogLevel::Error, {"Failed to initialize SQM Validator. version: ", ValidatorVersion,
                          " Please check if the version matches with your LUX Service runtime."});
    return 1;
  }
  const PublishedRunTarget published(target);
  startTime.store(target.TimeInSeconds());
  UsageTelemetry::Instance().SendLaunch(ApplicationName, ValidatorVersion, GetParentProcessName(),
                                        "");
  platform::SetConsoleControlHandler(ConsoleControlHandler);

  std::vector<std::string> parserArguments;
  for (const std::string& argument : arguments) {
    if (argument == kUseBreaker) {
      SendUserAction("Main_action_--use_breaker");
    } else {
      parserArguments.push_back(argument);
    }
  }

  ParseOutcome parsed = ParseCommandLine(parserArguments);
  if (!parsed.options) return parsed.exitStatus;
  const Options& options = *parsed.options;

  if (options.listTests) {
    SendUserAction("Main_action_--list_tests");
    for (const TestEntry& entry : GetAllTests(target)) std::cout << entry.name << '\n';
    std::cout.flush();
    return 0;
  }
  if (options.verbose) {
    SendUserAction("Main_action_--verbose");
    SetVerboseLogging(true);
  }
  if (options.log || options.logFileGiven) {
    SendUserAction("Main_action_--log");
    if (!OpenLogFile(options.logFile)) {
      std::cerr << "Failed to create or append to log file " << options.logFile
                << " Error: " << GetLogFileError() << std::endl;
      return 1;
    }
  }
  ApplySettings(options, parserArguments, target);

  if (!RunSelectedTests(options.tests, target)) return 1;
  target.PrintSummary();
  FinalShutdown();
  return 0;
}

}  // namespace QasValidator
