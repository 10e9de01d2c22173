// The package, module and listening tests end to end: the validator binary runs them on a fresh
// simulated machine (without the health-and-safety warning, whose line would fall among the
// runtime's error lines) against the sample application, well behaved or with the
// misbehaviour each test looks for. The console lines are compared exactly, with the machine
// prefix of the runtime's paths left out.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <regex>

#include "command_runner.h"

namespace e2e {
namespace {

const std::vector<std::string> kTests = {"TestCorviaDLLIncludes", "CheckForExtraneousFiles",
                                         "RunErrorCapture", "TestPropertyAccess"};
const std::vector<std::string> kNoWarning = {"--service-option", "--no-hsw"};

const char kEnumerating[] =
    "Enumerating the DLLs loaded by the application and verifying that Corvia DLLs are loaded "
    "from the Corvia runtime directory.\n";
const char kListeningForErrors[] = "Listening for errors...\n";
const std::string kListeningForProperties =
    LoadWait(0) + "Starting test...\nListening for property access violations for 30 seconds...\n";
const char kRuntimeError[] = "Telemetry Error Code -1005\nSimulated runtime error 1 of 1\n";

std::string Starting(const std::string& test) { return "Starting " + test + "\n"; }

/// `printed` with the machine prefix of every path written as "<machine>".
std::string WithoutMachinePrefix(const std::string& printed) {
  static const std::regex prefix("/[^ \n]*corvia-machine\\.[A-Za-z0-9]+");
  return std::regex_replace(printed, prefix, "<machine>");
}

/// A package of the sample application that ships the runtime library beside it, debug files
/// on two levels and a known-bad library four levels down. Its path is in lower case.
std::string MakeMisbehavingPackage() {
  namespace fs = std::filesystem;
  const std::string root = testing::TempDir() + "corvia_package_" + std::to_string(getpid()) + "/";
  fs::remove_all(root);
  fs::create_directories(root + "Game_Data/Plugins/x86_64");
  fs::copy_file(CORVIA_SAMPLE_APP, root + "corvia-sample-app");
  fs::copy_file(CORVIA_CLIENT_LIBRARY, root + "LibLUXRT64_1.so");
  for (const char* file : {"corvia-sample-app.debug", "Game_Data/Game.debug",
                           "Game_Data/Plugins/x86_64/libsteam_api.so"}) {
    std::ofstream(root + file) << "x";
  }
  return root;
}

/// Runs `runs` at the same time where each run has a network of its own, else one by one.
std::vector<CommandOutcome> Overlapping(const std::vector<std::function<CommandOutcome()>>& runs) {
  std::vector<std::future<CommandOutcome>> started;
  for (const auto& run : runs) {
    started.push_back(
        std::async(CORVIA_PRIVATE_NETWORK ? std::launch::async : std::launch::deferred, run));
  }
  std::vector<CommandOutcome> outcomes;
  for (auto& outcome : started) outcomes.push_back(outcome.get());
  return outcomes;
}

TEST(PackageAndListeningE2E, AWellBehavedApplicationPassesAllFourAndEachMisbehaviourFailsOne) {
  const std::string package = MakeMisbehavingPackage();
  std::vector<std::string> misbehaviours = {"--bundled-runtime", "--runtime-errors", "1"};
  for (const char* property : {"Name", "User", "Name", "IPD"}) {
    misbehaviours.insert(misbehaviours.end(), {"--read-property", property});
  }
  const std::vector<CommandOutcome> runs =
      Overlapping({[] { return RunValidator(QuickLoadOptions(kTests), {}, kNoWarning); },
                   [&] {
                     return RunWithSimulator(
                         kNoWarning, ValidatorCommand(package + "corvia-sample-app",
                                                      QuickLoadOptions(kTests), misbehaviours));
                   }});
  std::filesystem::remove_all(package);

  const CommandOutcome& good = runs[0];
  EXPECT_EQ(good.exitStatus, 0);
  EXPECT_EQ(good.out,
            Starting(kTests[0]) + kEnumerating + Ended("PASSED") + Starting(kTests[1]) +
                Ended("PASSED") + Starting(kTests[2]) + kListeningForErrors +
                "No errors received.\n" + Ended("PASSED") + Starting(kTests[3]) +
                kListeningForProperties + Ended("PASSED") +
                Summary({"TestCorviaDLLIncludes: Passed", "CheckForExtraneousFiles: Passed",
                         "RunErrorCapture: Passed", "TestPropertyAccess: Passed"}));
  EXPECT_EQ(good.err, "");

  const CommandOutcome& bad = runs[1];
  EXPECT_EQ(bad.exitStatus, 0);
  EXPECT_EQ(
      WithoutMachinePrefix(bad.out),
      Starting(kTests[0]) + kEnumerating +
          "ERROR: The application is not using Corvia Runtime DLLS.\n"
          "The application loads libluxrt64_1 from " +
          package + "libluxrt64_1.so\n" +
          "It should load it from <machine>/opt/corvia/support/corvia-runtime/libluxrt64_1.so\n" +
          GuidelineLine("sqm-pc-security-2/") + Ended("FAILED") + Starting(kTests[1]) +
          "ERROR: Found pdb file(s) that need to be removed from submission package:\n" +
          "ERROR:    " + package + "corvia-sample-app.debug\n" + "ERROR:    " + package +
          "Game_Data/Game.debug\n" + GuidelineLine("sqm-pc-security-3/") +
          "ERROR: The package contains DLL libraries that are known to cause issues when "
          "running on the Corvia platform. These files must be removed prior to uploading:\n" +
          "ERROR:    " + package + "Game_Data/Plugins/x86_64/libsteam_api.so\n" +
          GuidelineLine("sqm-pc-security-2/") + Ended("FAILED") + Starting(kTests[2]) +
          kListeningForErrors + kRuntimeError + Ended("FAILED") + Starting(kTests[3]) +
          kListeningForProperties +
          "ERROR: The application is accessing the following prohibited properties: Name User \n" +
          Ended("FAILED") +
          Summary({"TestCorviaDLLIncludes: Failed", "CheckForExtraneousFiles: Failed",
                   "RunErrorCapture: Failed", "TestPropertyAccess: Failed"}));
  EXPECT_EQ(bad.err, "");
}

// The user presses Enter before the instructions, which must not start the capture, then
// 1.5 s after them, and Esc once the error is shown. The output notes each key where it was
// pressed, after all that came before it.
TEST(PackageAndListeningE2E,
     InteractiveErrorCaptureStartsOnAnEnterAfterTheInstructionsAndEndsOnEsc) {
  const char kUser[] = R"(coproc validator { "$@"; }
pid=$validator_PID
exec 3>&"${validator[1]}" 4<&"${validator[0]}"
printf '\n' >&3
while IFS= read -r line <&4; do
  printf '%s\n' "$line"
  case $line in
    "Press the Enter key to start.") sleep 1.5
      while IFS= read -r -t 0.2 line <&4; do printf '%s\n' "$line"; done
      printf '<Enter>\n'; printf '\n' >&3 ;;
    "Simulated runtime error 1 of 1") printf '<Esc>\n'; printf '\033' >&3 ;;
  esac
done
wait "$pid")";
  std::vector<std::string> command = {"timeout", "120", "bash", "-c", kUser, "user"};
  for (const std::string& part :
       ValidatorCommand(CORVIA_SAMPLE_APP, {"--load_time_ms", "0", "--test", "RunErrorCapture"},
                        {"--runtime-errors", "1"})) {
    command.push_back(part);
  }
  const CommandOutcome run = RunWithSimulator(kNoWarning, command);
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.out,
            "Starting RunErrorCapture\n"
            "In this test, you can navigate through the application andthe validator will output "
            "all the errors it encounters.\nPress the ESC key to exit the test when done.\nPress "
            "the Enter key to start.\n<Enter>\n" +
                std::string(kListeningForErrors) + kRuntimeError + "<Esc>\n" + Ended("FAILED") +
                Summary({"RunErrorCapture: Failed"}));
}

}  // namespace
}  // namespace e2e
