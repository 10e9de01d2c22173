#include "driver/junit_report.h"

#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "support/junit_schema.h"

namespace QasValidator {
namespace {

TestRun MakeRun(const char* name, std::vector<TestResult> attempts,
                std::vector<std::pair<LogLevel, std::string>> lines = {}) {
  return {name, std::move(attempts), true, 1.25, std::move(lines)};
}

// A run with every kind of result, read back as a CI server reads it.
TEST(JunitReport, EveryResultHasTheElementsCiServersRead) {
  const TestResult kTransient = TestResult::TransientError;
  const std::string page = "Please refer to SQM Guidelines: https://x/";
  std::vector<TestRun> runs = {
      MakeRun("TestSdkVersion", {TestResult::Passed}),
      MakeRun("TestLaunchIntoVR", {TestResult::Failed},
              {{LogLevel::Error, "Late."},
               {LogLevel::Info, page},
               {LogLevel::Error, "<No> layer"},
               {LogLevel::Info, page}}),
      MakeRun("TestMismatchedAdapters", {TestResult::Skipped}),
      MakeRun("TestFrameRate", {kTransient, TestResult::Passed},
              {{LogLevel::Error, "Transient."}, {LogLevel::Info, "*** Retrying the test ***"}}),
      MakeRun("TestFrameRate", {kTransient, kTransient}, {{LogLevel::Info, "Engine \x01\xff"}}),
      MakeRun("TestAppShouldQuit", {}),
  };
  runs.back().finished = false;
  const std::string path = testing::TempDir() + "junit_report_test.xml";
  ASSERT_TRUE(JunitReport(path).Write(runs));

  pugi::xml_document document;
  ASSERT_TRUE(document.load_file(path.c_str()));
  std::remove(path.c_str());
  EXPECT_EQ(testsupport::JunitSchemaBreaches(document), "");
  pugi::xml_document broken;  // what the schema check finds
  broken.load_string(
      "<testsuites><testsuite name='x'><testcase/><properties/></testsuite></testsuites>");
  EXPECT_EQ(testsupport::JunitSchemaBreaches(broken),
            "testsuite lacks tests\ntestcase lacks name\nproperties out of place in testsuite\n");
  const pugi::xml_node suite = document.child("testsuites").child("testsuite");
  EXPECT_EQ(
      std::string(suite.attribute("name").value()) + " tests " + suite.attribute("tests").value() +
          " failures " + suite.attribute("failures").value() + " errors " +
          suite.attribute("errors").value() + " skipped " + suite.attribute("skipped").value(),
      "CorviaSqmValidator tests 6 failures 2 errors 1 skipped 1");
  EXPECT_TRUE(std::regex_match(suite.attribute("timestamp").value(),
                               std::regex("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d")));

  std::vector<std::string> read;  // the properties, then each test case with its result
  for (const pugi::xml_node property : suite.child("properties").children()) {
    read.push_back(std::string(property.attribute("name").value()) + "=" +
                   property.attribute("value").value());
  }
  for (const pugi::xml_node testCase : suite.children("testcase")) {
    const pugi::xml_node result = testCase.first_child();
    read.push_back(std::string(testCase.attribute("name").value()) + " " +
                   testCase.attribute("time").value() + " " + result.name() + " " +
                   result.attribute("message").value() + "|" + result.attribute("type").value() +
                   "|" + result.text().get() + "|" + testCase.child("system-out").text().get());
  }
  EXPECT_EQ(read,
            (std::vector<std::string>{
                "TestLaunchIntoVR guideline=https://x/",
                "TestFrameRate attempts=Failed, Passed",
                "TestFrameRate attempts=Failed, Failed",
                "TestSdkVersion 1.250 system-out |||",
                "TestLaunchIntoVR 1.250 failure Late.\n<No> layer|Failed|Late.\n<No> layer|"
                "ERROR: Late.\n" +
                    page + "\nERROR: <No> layer\n" + page + "\n",
                "TestMismatchedAdapters 1.250 skipped |||",
                "TestFrameRate 1.250 system-out ||ERROR: Transient.\n*** Retrying the test ***\n|"
                "ERROR: Transient.\n*** Retrying the test ***\n",
                // What an application reported cannot break the document.
                "TestFrameRate 1.250 failure Failed|TransientError||Engine "
                "\xEF\xBF\xBD\xEF\xBF\xBD\n",
                "TestAppShouldQuit 1.250 error The validation ended before the test "
                "did|Unfinished||",
            }));
}

// The runs are handed on when each starts (so a report holds the test that a cancellation
// interrupts) and ends, with every attempt's console lines and result.
TEST(RunRecorder, EachRunIsHandedOnWhenItStartsAndWhenItEnds) {
  std::vector<std::string> seen;
  RunRecorder recorder([&seen](const std::vector<TestRun>& runs) {
    std::string lines;
    for (const auto& [level, line] : runs.back().lines) lines += line + "|";
    seen.push_back(runs.back().name + (runs.back().finished ? " ended " : " started ") +
                   std::to_string(runs.back().attempts.size()) + " " + lines);
  });
  std::vector<TestResult> results = {TestResult::TransientError, TestResult::Passed};
  recorder.Run("TestFrameRate", [&results] {
    LogError("Attempt");
    const TestResult result = results.front();
    results.erase(results.begin());
    return result;
  });
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "TestFrameRate started 0 ",
                      "TestFrameRate ended 2 Attempt|*** Retrying the test ***|Attempt|"}));
}

}  // namespace
}  // namespace QasValidator
