#include "log/validator_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <thread>

#include "platform/system_error.h"
#include "runtime/runtime_library.h"
#include "support/child_process.h"
#include "support/read_file.h"

namespace QasValidator {
namespace {

using testsupport::RunInChild;

using testsupport::ReadFile;
class ValidatorLogTest : public testing::Test {
 protected:
  void SetUp() override {
    // Per test: ctest runs the tests of this fixture in parallel, and a child process that
    // runs the test again must find the same name.
    path_ = testing::TempDir() + "validator_log_test_" +
            testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
    std::filesystem::remove(path_);
  }
  void TearDown() override { std::filesystem::remove(path_); }
  std::string path_;
};

TEST_F(ValidatorLogTest, ConsoleAndFileFormatsPerLevel) {
  const auto run = RunInChild([&] {
    LogInfo("before the file");
    if (!OpenLogFile(path_)) return 1;
    LogInfo("Summary:");
    LogError("went ", "wrong");
    LogVerbose("hidden");
    SetVerboseLogging(true);
    LogVerbose("shown");
    Log(LogLevel::Error, {"first\n\t", "second"});
    CloseLogFile();
    LogInfo("after the file");
    return 0;
  });
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.out,
            "before the file\nSummary:\nERROR: went wrong\nshown\nERROR: first\n\tsecond\n"
            "after the file\n");
  EXPECT_EQ(ReadFile(path_),
            "INFO: Summary:\nERROR: went wrong\nVERBOSE: shown\nERROR: first\n\tsecond\n");
}

TEST_F(ValidatorLogTest, ReopeningAFileWithContentWritesTheSeparatorLine) {
  const auto run = RunInChild([&] {
    if (!OpenLogFile(path_)) return 1;  // new file: no separator
    LogInfo("one");
    if (!OpenLogFile(path_)) return 1;  // same file again: separator first
    LogInfo("two");
    CloseLogFile();
    return 0;
  });
  EXPECT_EQ(run.exitStatus, 0);
  const std::string content = ReadFile(path_);
  const std::regex expected(
      "INFO: one\n={29} \\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2} ={30}\nINFO: two\n");
  EXPECT_TRUE(std::regex_match(content, expected)) << content;
}

TEST(SeparatorLine, Is80CharactersForAnyTimeLength) {
  EXPECT_EQ(FormatSeparatorLine("2026-12-04 23:21:53"),
            std::string(29, '=') + " 2026-12-04 23:21:53 " + std::string(30, '=') + "\n");
  EXPECT_EQ(FormatSeparatorLine("12345678"),
            std::string(35, '=') + " 12345678 " + std::string(35, '=') + "\n");
  EXPECT_EQ(FormatSeparatorLine(""), std::string(39, '=') + "  " + std::string(39, '=') + "\n");
}

TEST(OpenLogFile, FailureReportsTheSystemTextAndNumber) {
  const auto run = RunInChild([] {
    std::cout << OpenLogFile("/nonexistent/dir/log.txt") << "|" << GetLogFileError();
    return 0;
  });
  EXPECT_EQ(run.out, "0|No such file or directory (2)");
}

TEST(LogSystemError, AppendsTheCodeAndTheSystemText) {
  const auto run = RunInChild([] {
    platform::SetLastErrorCode(2);
    LogSystemError("Could not start the application.");
    return 0;
  });
  // The system's own text of error 2 ("No such file or directory" on POSIX).
  EXPECT_EQ(run.out, "ERROR: Could not start the application.\n\tSystem Error Code: 2\n\t" +
                         platform::SystemErrorText(2) + "\n");
}

TEST(WriteLogLine, LinesOfConcurrentThreadsDoNotInterleave) {
  const auto run = RunInChild([] {
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

TEST(LogRuntimeError, AppendsTheRuntimesCodeAndErrorString) {
  const auto run = RunInChild([] {
    LogRuntimeError("Unable to initialize LibLUX.");
    return 0;
  });
  EXPECT_EQ(run.out,
            "ERROR: Unable to initialize LibLUX.\n\tLUX Error Code: -1004\n\tError String: "
            "lux_Initialize never called\n");
}

TEST(LogRuntimeError, AnEmptyErrorStringEndsAfterTheCode) {
  const auto run = RunInChild([] {
    LuxLoader::SetLoaderError(-6000, "");
    LogRuntimeError("Failed to begin realtime event output.");
    return 0;
  });
  EXPECT_EQ(run.out, "ERROR: Failed to begin realtime event output.\n\tLUX Error Code: -6000\n");
}

}  // namespace
}  // namespace QasValidator
