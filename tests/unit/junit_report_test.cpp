#include "driver/junit_report.h"

#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <cstdio>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/junit_schema.h"

namespace QasValidator {
namespace {

const char kPage[] = "https://developer.corvia.com/documentation/distribute/latest/concepts/x/";

TestRun MakeRun(const std::string& name, std::vector<TestResult> attempts,
                std::vector<std::pair<LogLevel, std::string>> lines, bool finished = true) {
  TestRun run;
  run.name = name;
  run.attempts = std::move(attempts);
  run.finished = finished;
  run.seconds = 1.25;
  run.lines = std::move(lines);
  return run;
}

// A run with every kind of result, read back as a CI server reads it.
TEST(JunitReport, EveryResultHasTheElementsCiServersRead) {
  const std::vector<TestRun> runs = {
      MakeRun("TestSdkVersion", {TestResult::Passed},
              {{LogLevel::Info, "Starting TestSdkVersion"}}),
      MakeRun("TestLaunchIntoVR", {TestResult::Failed},
              {{LogLevel::Error, "Too late."},
               {LogLevel::Info, std::string("Please refer to SQM Guidelines: ") + kPage},
               {LogLevel::Error, "No layer <head>."},
               {LogLevel::Info, std::string("Please refer to SQM Guidelines: ") + kPage}}),
      MakeRun("TestMismatchedAdapters", {TestResult::Skipped}, {}),
      MakeRun("TestFrameRate", {TestResult::TransientError, TestResult::Passed},
              {{LogLevel::Error, "Transient."}, {LogLevel::Info, "*** Retrying the test ***"}}),
      MakeRun("TestFrameRate", {TestResult::TransientError, TestResult::TransientError},
              {{LogLevel::Info, "Engine \x01\xff"}}),
      MakeRun("TestAppShouldQuit", {}, {}, false),
  };
  const std::string path = testing::TempDir() + "junit_report_test.xml";
  ASSERT_TRUE(JunitReport(path).Write(runs));

  pugi::xml_document document;
  ASSERT_TRUE(document.load_file(path.c_str()));
  EXPECT_EQ(testsupport::JunitSchemaBreaches(document), "");
  const pugi::xml_node suite = document.child("testsuites").child("testsuite");
  EXPECT_STREQ(suite.attribute("name").value(), "CorviaSqmValidator");
  EXPECT_EQ(suite.attribute("tests").as_int(), 6);
  EXPECT_EQ(suite.attribute("failures").as_int(), 2);
  EXPECT_EQ(suite.attribute("errors").as_int(), 1);
  EXPECT_EQ(suite.attribute("skipped").as_int(), 1);
  EXPECT_STRNE(suite.attribute("hostname").value(), "");

  std::vector<std::string> properties;
  for (const pugi::xml_node property : suite.child("properties").children("property")) {
    properties.push_back(std::string(property.attribute("name").value()) + "=" +
                         property.attribute("value").value());
  }
  EXPECT_EQ(properties, (std::vector<std::string>{
                            std::string("TestLaunchIntoVR guideline=") + kPage,
                            "TestFrameRate attempts=Failed, Passed",
                            "TestFrameRate attempts=Failed, Failed",
                        }));

  // For each test case: name, the element of its result, its failure message and type.
  std::vector<std::string> cases;
  for (const pugi::xml_node testCase : suite.children("testcase")) {
    const pugi::xml_node result = testCase.find_child(
        [](pugi::xml_node child) { return std::string(child.name()) != "system-out"; });
    cases.push_back(std::string(testCase.attribute("name").value()) + " " +
                    testCase.attribute("time").value() + " " + result.name() + " [" +
                    result.attribute("message").value() + "|" + result.attribute("type").value() +
                    "|" + result.text().get() + "]");
  }
  EXPECT_EQ(cases, (std::vector<std::string>{
                       "TestSdkVersion 1.250  [||]",
                       "TestLaunchIntoVR 1.250 failure [Too late.\nNo layer <head>.|Failed|Too "
                       "late.\nNo layer <head>.]",
                       "TestMismatchedAdapters 1.250 skipped [||]",
                       "TestFrameRate 1.250  [||]",
                       "TestFrameRate 1.250 failure [Failed|TransientError|]",
                       "TestAppShouldQuit 1.250 error [The validation ended before the test "
                       "did|Unfinished|]",
                   }));
  const pugi::xml_node retried = suite.find_child_by_attribute("testcase", "name", "TestFrameRate");
  EXPECT_STREQ(retried.child("system-out").text().get(),
               "ERROR: Transient.\n*** Retrying the test ***\n");
  // What an application reported cannot break the document.
  EXPECT_STREQ(suite.last_child().previous_sibling().child("system-out").text().get(),
               "Engine \xEF\xBF\xBD\xEF\xBF\xBD\n");
  std::remove(path.c_str());
}

TEST(JunitReport, AFolderThatCannotTakeTheReportIsReported) {
  const testsupport::ChildOutcome run =
      testsupport::RunInChild([] { return JunitReport("/nonexistent/r.xml").Write({}) ? 1 : 0; });
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.err,
            "Failed to write the JUnit report /nonexistent/r.xml Error: No such file or directory "
            "(2)\n");
}

}  // namespace
}  // namespace QasValidator
