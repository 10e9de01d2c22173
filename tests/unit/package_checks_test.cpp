#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "checks/listening_judgements.h"
#include "checks/package_files.h"
#include "checks/runtime_modules.h"
#include "support/validator_course.h"

// The package and module checks and the listening tests' verdicts, without the application:
// the walk over package trees made here, the executable's checks, the runtime libraries among a
// process's modules, and the property and error verdicts.

namespace QasValidator {
namespace {

namespace fs = std::filesystem;
using testsupport::ExpectJudgement;
using testsupport::GuidelineLine;
using testsupport::JudgementOutput;

const std::string kDebugHeader = std::string("ERROR: ") + kDebugSymbolsHeader + "\n";
const std::string kLibraryHeader = std::string("ERROR: ") + kKnownBadLibrariesHeader + "\n";

/// A fresh package folder holding the executable "app" and an empty file at each of `files`.
std::string MakePackage(const std::string& name, const std::vector<std::string>& files) {
  const std::string root = testing::TempDir() + name;
  fs::remove_all(root);
  fs::create_directories(root);
  std::ofstream(root + "/app") << "#!/bin/sh\n";
  fs::permissions(root + "/app", fs::perms::owner_all, fs::perm_options::add);
  for (const std::string& file : files) {
    fs::create_directories(fs::path(root + "/" + file).parent_path());
    std::ofstream(root + "/" + file) << "x";
  }
  return root;
}

TEST(ExtraneousFiles, DebugFilesAndKnownBadLibrariesAreListedByGroupWithTheirPages) {
  const std::string root =
      MakePackage("package_bad", {"steam_api64.dll", "readme.txt", "libgood.so",
                                  "Data/Sub/Game.debug", "steam_api/libfoo.so.1",
                                  "Plugins/x86_64/OpenVR_api.so", "Plugins/x86_64/libosvr.txt"});
  fs::create_directory_symlink(".", root + "/loop");  // leads back into the tree
  ExpectJudgement([&] { return InspectPackage(root + "/app"); }, TestResult::Failed,
                  kDebugHeader + "ERROR:    " + root + "/Data/Sub/Game.debug\n" +
                      GuidelineLine("sqm-pc-security-3/") + kLibraryHeader + "ERROR:    " + root +
                      "/steam_api64.dll\n" + "ERROR:    " + root + "/steam_api/libfoo.so.1\n" +
                      "ERROR:    " + root + "/Plugins/x86_64/OpenVR_api.so\n" +
                      GuidelineLine("sqm-pc-security-2/"),
                  JudgementOutput::kPlain, "bad");
  const std::string clean = MakePackage("package_clean", {"lib/libgood.so.3", "x.dll.txt"});
  ExpectJudgement([&] { return InspectPackage(clean + "/app"); }, TestResult::Passed, "",
                  JudgementOutput::kPlain, "clean");
}

TEST(ExtraneousFiles, TheExecutableMustExistAndBeAProgram) {
  const std::string root = MakePackage("package_executable", {"readme.txt"});
  const std::vector<std::pair<std::string, std::string>> cases = {
      {root + "/missing", "ERROR: Executable " + root + "/missing does not exist\n"},
      {root + "/readme.txt", "ERROR: Unexpected file name extension \"" + root + "/readme.txt\"\n"},
      {root, "ERROR: Unexpected file name extension \"" + root + "\"\n"}};
  for (const auto& [path, message] : cases) {
    ExpectJudgement([&] { return InspectPackage(path); }, TestResult::Failed, message,
                    JudgementOutput::kPlain, path);
  }
}

TEST(RuntimeModules, OnlyRuntimeLibrariesFromElsewhereFailWhateverTheirLetterCase) {
  const std::string runtime = "/Opt/Corvia/Support/corvia-runtime/";
  ExpectJudgement(
      [&] {
        return JudgeRuntimeModules(
            runtime, {"/usr/lib/libc.so.6", "/opt/corvia/SUPPORT/corvia-runtime/LibLUXRT64_1.so",
                      "/games/x/libluxrt64_1x.so"});
      },
      TestResult::Passed, "", JudgementOutput::kPlain, "the runtime's");
  const auto message = [](const std::string& name, const std::string& from) {
    return "ERROR: The application is not using Corvia Runtime DLLS.\nThe application loads " +
           name + " from " + from + "\nIt should load it from /opt/corvia/support/corvia-runtime/" +
           name + ".so\n";
  };
  ExpectJudgement(
      [&] {
        return JudgeRuntimeModules(runtime, {"/Games/X/LibLUXRT64_1.so",
                                             "/opt/corvia/Support/x/../corvia-runtime/"
                                             "libLUXPlatform64_1.so"});
      },
      TestResult::Failed,
      message("libluxrt64_1", "/games/x/libluxrt64_1.so") +
          message("libluxplatform64_1",
                  "/opt/corvia/support/x/../corvia-runtime/libluxplatform64_1.so") +
          GuidelineLine("sqm-pc-security-2/"),
      JudgementOutput::kPlain, "from elsewhere");
}

// The properties, sorted, each with a blank, and no error: PackageAndListeningE2E.
TEST(ListeningJudgements, AnErrorCountBeyondTheSignedRangeIsNoError) {
  ExpectJudgement([] { return JudgeRuntimeErrors(static_cast<int32_t>(0x80000000u)); },
                  TestResult::Passed, "No errors received.\n", JudgementOutput::kPlain, "errors");
}

}  // namespace
}  // namespace QasValidator
