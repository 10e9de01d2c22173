#include "telemetry/usage_telemetry.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "support/child_process.h"
#include "support/telemetry_recorder.h"

namespace QasValidator {
namespace {

using testsupport::RecordTelemetry;
using testsupport::RunInChild;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

TEST(UsageTelemetry, EveryEventCarriesTheStandardAndCommonFields) {
  const auto run = RunInChild([] {
    RecordTelemetry({"application_session"});
    UsageTelemetry& telemetry = UsageTelemetry::Instance();
    telemetry.SendLaunch("Corvia QAS Validator CLI", "1.43.0.0", "cmd", "10.0");
    telemetry.SetCommonField("machine", "lab-3");
    telemetry.SendUserAction("Main_action_--verbose");
    telemetry.SendUserAction("Main_action_--load_time_ms", "5000");
    telemetry.SendClose("1234.500000");
    return 0;
  });
  EXPECT_EQ(Lines(run.out),
            (std::vector<std::string>{
                "[telemetry] application_name=Corvia QAS Validator CLI; application_status=launch; "
                "application_version=1.43.0.0; parent_application=cmd; "
                "parent_application_version=10.0",
                "[telemetry] application_name=Corvia QAS Validator CLI; "
                "application_version=1.43.0.0; machine=lab-3; parent_application=cmd; "
                "parent_application_version=10.0; user_action=Main_action_--verbose",
                "[telemetry] application_name=Corvia QAS Validator CLI; "
                "application_version=1.43.0.0; machine=lab-3; parent_application=cmd; "
                "parent_application_version=10.0; user_action=Main_action_--load_time_ms; "
                "user_action_param=5000",
                "[telemetry] application_name=Corvia QAS Validator CLI; "
                "application_status=close; application_version=1.43.0.0; machine=lab-3; "
                "parent_application=cmd; parent_application_version=10.0; "
                "run_duration=1234.500000",
            }));
}

TEST(UsageTelemetry, EmptyParentFieldsAreNotSent) {
  const auto run = RunInChild([] {
    RecordTelemetry({"application_session"});
    UsageTelemetry::Instance().SendLaunch("app", "1", "", "");
    return 0;
  });
  EXPECT_EQ(run.out,
            "[telemetry] application_name=app; application_status=launch; "
            "application_version=1\n");
}

TEST(UsageTelemetry, EventsBeforeTheLaunchCarryEmptyStandardFields) {
  const auto run = RunInChild([] {
    RecordTelemetry();
    UsageTelemetry::Instance().SendUserAction("early");
    return 0;
  });
  EXPECT_EQ(run.out,
            "[telemetry] application_name=; application_session=; application_version=; "
            "user_action=early\n");
}

// The session GUID of the events of one run.
std::set<std::string> SessionsOfARun() {
  const auto run = RunInChild([] {
    RecordTelemetry();
    UsageTelemetry::Instance().SendLaunch("app", "1", "", "");
    UsageTelemetry::Instance().SendUserAction("a");
    UsageTelemetry::Instance().SendClose("0.000000");
    return 0;
  });
  std::set<std::string> sessions;
  const std::regex session("application_session=([^;]*);");
  for (const std::string& line : Lines(run.out)) {
    std::smatch match;
    if (std::regex_search(line, match, session)) sessions.insert(match[1]);
  }
  return sessions;
}

TEST(UsageTelemetry, OneSessionGuidPerRun) {
  const std::set<std::string> first = SessionsOfARun();
  const std::set<std::string> second = SessionsOfARun();
  ASSERT_EQ(first.size(), 1u);
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(first.begin()->size(), 36u);
  EXPECT_NE(*first.begin(), *second.begin());
}

TEST(UsageTelemetry, BeforeTheRuntimeIsBoundEventsAreLost) {
  // The unbound function answers -3002 and the sender ignores it.
  const auto run = RunInChild([] {
    UsageTelemetry::Instance().SendLaunch("app", "1", "", "");
    return 0;
  });
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.out, "");
}

TEST(ParentProcessName, DropsAnExeSuffixOfAnyCase) {
  EXPECT_EQ(WithoutExeSuffix("cmd.exe"), "cmd");
  EXPECT_EQ(WithoutExeSuffix("TOOL.EXE"), "TOOL");
  EXPECT_EQ(WithoutExeSuffix("a.Exe"), "a");
  EXPECT_EQ(WithoutExeSuffix(".exe"), ".exe");
  EXPECT_EQ(WithoutExeSuffix("cmd"), "cmd");
  EXPECT_EQ(WithoutExeSuffix("bash"), "bash");
  EXPECT_EQ(WithoutExeSuffix("setup.exe.bak"), "setup.exe.bak");
}

TEST(ParentProcessName, IsTheParentsExecutable) {
  const auto run = RunInChild([] {
    std::cout << GetParentProcessName();
    return 0;
  });
  EXPECT_EQ(run.out, "corvia_unit_tests");
}

}  // namespace
}  // namespace QasValidator
