// A run as a developer at a terminal and a build pipeline see it: the validator on a
// pseudo-terminal (made by `script`) with a JUnit report and the failing exit status. The other
// end-to-end runs write to pipes, where no progress line may appear: they expect their exact
// lines and an empty standard error.

#include <gtest/gtest.h>
#include <unistd.h>

#include <pugixml.hpp>

#include "command_runner.h"
#include "support/junit_schema.h"

namespace e2e {
namespace {

TEST(RunReportE2E, ATerminalSeesTheProgressAndAFailedTestGivesStatusTwoAndItsReport) {
  const std::string report = testing::TempDir() + "run_report_" + std::to_string(getpid());
  std::string line;  // the validator's command line for the shell of `script`
  for (const std::string& word :
       ValidatorCommand(CORVIA_SAMPLE_APP,
                        {"--test", "TestSubmitFramesWhenVisible", "--load_time_ms", "1000",
                         "--junit_report", report, "--fail_exit_code"},
                        {"--no-commit-when-visible"})) {
    line += " '" + word + "'";
  }
  const CommandOutcome run = RunWithSimulator({}, {"script", "-q", "-e", "-c", line, "/dev/null"});
  EXPECT_EQ(run.exitStatus, 2) << run.out;
  for (const char* progress : {"\rTestSubmitFramesWhenVisible: letting the application load, 1 s "
                               "left",
                               "\rTestSubmitFramesWhenVisible: counting swap-chain commits, 5 s "
                               "left\rTestSubmitFramesWhenVisible: counting swap-chain commits, 4 "
                               "s left",
                               "\r\nERROR: The application did not commit any texture swap chains"
                               "\r\n"}) {
    EXPECT_NE(run.out.find(progress), std::string::npos) << progress << "\n" << run.out;
  }

  pugi::xml_document document;
  ASSERT_TRUE(document.load_file(report.c_str())) << run.out;
  std::remove(report.c_str());
  EXPECT_EQ(testsupport::JunitSchemaBreaches(document), "");
  const pugi::xml_node suite = document.child("testsuites").child("testsuite");
  EXPECT_EQ(suite.attribute("failures").as_int(), 1);
  EXPECT_STREQ(suite.child("testcase").child("failure").attribute("message").value(),
               "The application did not commit any texture swap chains");
}

}  // namespace
}  // namespace e2e
