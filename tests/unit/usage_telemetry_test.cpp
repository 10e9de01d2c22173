#include "telemetry/usage_telemetry.h"

#include <gtest/gtest.h>

#include <regex>

#include "support/child_process.h"
#include "support/telemetry_recorder.h"
#include "telemetry/guid_text.h"

namespace QasValidator {
namespace {

using testsupport::RecordTelemetry;
using testsupport::RunInChild;

TEST(UsageTelemetry, EveryEventCarriesTheStandardAndCommonFields) {
  const auto run = RunInChild([] {
    RecordTelemetry({"application_session"});
    UsageTelemetry& telemetry = UsageTelemetry::Instance();
    telemetry.SendLaunch("Corvia QAS Validator CLI", "1.43.0.0", "cmd", "10.0");
    telemetry.SetCommonField("machine", "lab-3");
    telemetry.SendUserAction("Main_action_--load_time_ms", "5000");
    telemetry.SendClose("1234.500000");
    return 0;
  });
  EXPECT_EQ(run.out,
            "[telemetry] application_name=Corvia QAS Validator CLI; application_status=launch; "
            "application_version=1.43.0.0; parent_application=cmd; "
            "parent_application_version=10.0\n"
            "[telemetry] application_name=Corvia QAS Validator CLI; "
            "application_version=1.43.0.0; machine=lab-3; parent_application=cmd; "
            "parent_application_version=10.0; user_action=Main_action_--load_time_ms; "
            "user_action_param=5000\n"
            "[telemetry] application_name=Corvia QAS Validator CLI; "
            "application_status=close; application_version=1.43.0.0; machine=lab-3; "
            "parent_application=cmd; parent_application_version=10.0; "
            "run_duration=1234.500000\n");
}

TEST(UsageTelemetry, EachRunHasASessionGuidOfItsOwnAndNothingGoesOutBeforeTheRuntimeIsBound) {
  // Events before the launch carry empty standard fields; the others, the run's session.
  const auto sessionOfARun = [] {
    const auto run = RunInChild([] {
      RecordTelemetry();
      UsageTelemetry::Instance().SendUserAction("early");
      UsageTelemetry::Instance().SendLaunch("app", "1", "", "");
      UsageTelemetry::Instance().SendClose("0.000000");
      return 0;
    });
    std::vector<std::string> sessions;
    const std::regex session("application_session=([^;]*);");
    for (std::sregex_iterator match(run.out.begin(), run.out.end(), session), end; match != end;
         ++match) {
      sessions.push_back((*match)[1]);
    }
    EXPECT_TRUE(
        run.out.starts_with("[telemetry] application_name=; application_session=; "
                            "application_version=; user_action=early\n"));
    EXPECT_EQ(sessions.size(), 3u);
    EXPECT_EQ(sessions.back(), sessions.at(1));
    return sessions.back();
  };
  const std::string first = sessionOfARun();
  EXPECT_EQ(first.size(), 36u);
  EXPECT_NE(first, sessionOfARun());
  // The unbound function answers -3002 and the sender ignores it.
  const auto unbound = RunInChild([] {
    UsageTelemetry::Instance().SendLaunch("app", "1", "", "");
    return 0;
  });
  EXPECT_EQ(unbound.exitStatus, 0);
  EXPECT_EQ(unbound.out, "");
}

TEST(ParentProcessName, DropsAnExeSuffixOfAnyCase) {
  for (const auto& [name, without] :
       {std::pair{"cmd.exe", "cmd"}, std::pair{"TOOL.EXE", "TOOL"}, std::pair{"a.Exe", "a"},
        std::pair{".exe", ".exe"}, std::pair{"bash", "bash"},
        std::pair{"setup.exe.bak", "setup.exe.bak"}}) {
    EXPECT_EQ(WithoutExeSuffix(name), without);
  }
}

TEST(GuidText, FieldsThenBytesInUpperCaseHexAndNewOnesAreRandomVersionFour) {
  platform::Guid guid{0x0123ABCD, 0x00EF, 0x4A5B, {0x9C, 0x0D, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB}};
  EXPECT_EQ(GuidText(guid), "0123ABCD-00EF-4A5B-9C0D-0123456789AB");
  const std::regex form("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
  std::set<std::string> seen;
  for (int i = 0; i < 64; ++i) {
    const std::string text = NewGuidText();
    EXPECT_TRUE(std::regex_match(text, form)) << text;
    seen.insert(text);
  }
  EXPECT_EQ(seen.size(), 64u);
}

}  // namespace
}  // namespace QasValidator
