#include "log/validator_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <thread>

#include "runtime/runtime_library.h"
#include "support/child_process.h"
#include "support/read_file.h"

namespace QasValidator {
namespace {

using testsupport::ExpectInChild;

TEST(ValidatorLog, ConsoleAndFileFormatsPerLevelAndASeparatorWhenAFileIsReopened) {
  // Per test: ctest runs the cases of this binary in parallel, and on Windows the child is the
  // test program started again, which must find the same name.
  const std::string path = testing::TempDir() + "validator_log_test_" +
                           testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
  std::filesystem::remove(path);
  const testsupport::ChildOutcome run = ExpectInChild([&] {
    LogInfo("before the file");
    EXPECT_TRUE(OpenLogFile(path));  // a new file: no separator
    LogVerbose("hidden");
    SetVerboseLogging(true);
    LogVerbose("shown");
    Log(LogLevel::Error, {"first\n\t", "second"});
    EXPECT_TRUE(OpenLogFile(path));  // the same file again: the separator first
    // A runtime error with its string: ValidatorE2E.WithoutTheService...
    LuxLoader::SetLoaderError(-6000, "");  // an empty error string ends after the code
    LogRuntimeError("Failed to begin realtime event output.");
    CloseLogFile();
    LogInfo("after the file");
  });
  const std::string runtimeErrors =
      "ERROR: Failed to begin realtime event output.\n\tLUX Error Code: -6000\n";
  EXPECT_EQ(run.out, "before the file\nshown\nERROR: first\n\tsecond\n" + runtimeErrors +
                         "after the file\n");
  const std::string logged = testsupport::ReadTextFile(path);
  const std::string before = "VERBOSE: shown\nERROR: first\n\tsecond\n";
  ASSERT_TRUE(logged.starts_with(before)) << logged;
  ASSERT_TRUE(logged.ends_with(runtimeErrors)) << logged;
  const std::string separator = logged.substr(before.size(), 81);
  EXPECT_TRUE(std::regex_match(
      separator, std::regex("={29} \\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2} ={30}\n")))
      << separator;
  EXPECT_EQ(logged.size(), before.size() + separator.size() + runtimeErrors.size());
  std::filesystem::remove(path);
}

TEST(ValidatorLog, LinesOfConcurrentThreadsDoNotInterleave) {
  const auto run = testsupport::RunInChild([] {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([t] {
        const std::string text(200, static_cast<char>('a' + t));
        for (int i = 0; i < 200; ++i) LogInfo(text);
      });
    }
    for (std::thread& thread : threads) thread.join();
    return 0;
  });
  std::istringstream lines(run.out);
  int count = 0;
  for (std::string line; std::getline(lines, line); ++count) {
    ASSERT_EQ(line.size(), 200u);
    ASSERT_EQ(line.find_first_not_of(line[0]), std::string::npos);
  }
  EXPECT_EQ(count, 800);
}

}  // namespace
}  // namespace QasValidator
