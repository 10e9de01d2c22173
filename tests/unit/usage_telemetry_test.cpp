#include "telemetry/usage_telemetry.h"

#include <gtest/gtest.h>

#include <regex>

#include "support/child_process.h"
#include "support/telemetry_recorder.h"

namespace QasValidator {
namespace {

using testsupport::RecordTelemetry;
using testsupport::RunInChild;

// The fields of each event: MainFlowTelemetry (the launch) and
// ValidatorE2E.ARunReportsEveryStepAndItsDurationToTheRuntime (every step of a run).
TEST(UsageTelemetry, EachRunHasASessionOfItsOwn) {
  const auto launchOfARun = [] {
    return RunInChild([] {
             RecordTelemetry();
             UsageTelemetry::Instance().SendLaunch("app", "1", "", "");
             return 0;
           })
        .out;
  };
  const std::string first = launchOfARun();
  EXPECT_TRUE(std::regex_search(first, std::regex("application_session=[-0-9A-F]{36};"))) << first;
  EXPECT_NE(first, launchOfARun());
}

TEST(ParentProcessName, DropsAnExeSuffixOfAnyCase) {
  for (const auto& [name, without] :
       {std::pair{"cmd.exe", "cmd"}, std::pair{"TOOL.EXE", "TOOL"}, std::pair{"a.Exe", "a"},
        std::pair{".exe", ".exe"}, std::pair{"bash", "bash"},
        std::pair{"setup.exe.bak", "setup.exe.bak"}}) {
    EXPECT_EQ(WithoutExeSuffix(name), without);
  }
}

}  // namespace
}  // namespace QasValidator
