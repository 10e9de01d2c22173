// A run as a developer at a terminal and a build pipeline see it: the validator on a
// pseudo-terminal (made by `script`) with a JUnit report and the failing exit status. The other
// end-to-end runs write to pipes, where no progress line may appear (they expect an empty
// standard error and their exact lines).

#include <gtest/gtest.h>
#include <unistd.h>

#include <pugixml.hpp>

#include <sstream>
#include <string>
#include <vector>

#include "sample_app_runs.h"
#include "support/junit_schema.h"

namespace e2e {
namespace {

/// `command` as one line for the shell, each word in single quotes.
std::string ShellLine(const std::vector<std::string>& command) {
  std::string line;
  for (const std::string& word : command) line += " '" + word + "'";
  return line;
}

TEST(RunReportE2E, ATerminalSeesTheProgressAndAFailedTestGivesStatusTwoAndItsReport) {
  const std::string report =
      testing::TempDir() + "run_report_e2e_" + std::to_string(getpid()) + ".xml";
  const std::vector<std::string> validator =
      ValidatorCommand(CORVIA_SAMPLE_APP,
                       {"--test", "TestSubmitFramesWhenVisible", "--load_time_ms", "1000",
                        "--junit_report", report, "--fail_exit_code"},
                       {"--no-commit-when-visible"});
  const CommandOutcome run =
      RunWithSimulator({}, {"script", "-q", "-e", "-c", ShellLine(validator), "/dev/null"});
  EXPECT_EQ(run.exitStatus, 2) << run.out;
  for (const char* progress :
       {"\rTestSubmitFramesWhenVisible: letting the application load, 1 s left",
        "\rTestSubmitFramesWhenVisible: counting swap-chain commits, 5 s left",
        "\rTestSubmitFramesWhenVisible: counting swap-chain commits, 1 s left"}) {
    EXPECT_NE(run.out.find(progress), std::string::npos) << progress << "\n" << run.out;
  }

  // The report's failure holds the Error lines the terminal showed.
  std::string errors;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    if (!line.starts_with("ERROR: ")) continue;
    if (!errors.empty()) errors += "\n";
    errors += line.substr(7, line.find('\r') - 7);
  }
  pugi::xml_document document;
  ASSERT_TRUE(document.load_file(report.c_str())) << report;
  EXPECT_EQ(testsupport::JunitSchemaBreaches(document), "");
  const pugi::xml_node suite = document.child("testsuites").child("testsuite");
  EXPECT_EQ(suite.attribute("tests").as_int(), 1);
  EXPECT_EQ(suite.attribute("failures").as_int(), 1);
  const pugi::xml_node failure = suite.child("testcase").child("failure");
  EXPECT_EQ(failure.attribute("message").value(), errors);
  EXPECT_EQ(errors, "The application did not commit any texture swap chains");
  EXPECT_STREQ(suite.child("properties").child("property").attribute("name").value(),
               "TestSubmitFramesWhenVisible guideline");
  std::remove(report.c_str());
}

}  // namespace
}  // namespace e2e
