#include "driver/test_registry.h"

#include <utility>

#include "driver/run_target.h"
#include "log/validator_log.h"
#include "validator/validator.h"

namespace QasValidator {

namespace {

struct TestDefinition {
  const char* name;
  TestResult (Validator::*procedure)();
};

constexpr TestDefinition kDefaultTests[] = {
    {"TestSdkVersion", &Validator::TestSdkVersion},
    {"TestCorviaDLLIncludes", &Validator::TestCorviaDLLIncludes},
    {"TestLaunchIntoVR", &Validator::TestLaunchIntoVR},
    {"TestFrameRate", &Validator::TestFrameRate},
    {"TestSubmitFramesWhenVisible", &Validator::TestSubmitFramesWhenVisible},
    {"TestSubmitFramesWhenNotVisible", &Validator::TestSubmitFramesWhenNotVisible},
    {"TestSubmitFramesWhenInDash", &Validator::TestSubmitFramesWhenInDash},
    {"TestResponseToRecenterRequest", &Validator::TestResponseToRecenterRequest},
    {"TestAppShouldQuit", &Validator::TestAppShouldQuit},
    {"CheckForExtraneousFiles", &Validator::CheckForExtraneousFiles},
    {"TestAudioOutput", &Validator::TestAudioOutput},
};

constexpr TestDefinition kExtraTests[] = {
    {"TestMismatchedAdapters", &Validator::TestMismatchedAdapters},
    {"TestResponseToDisplayLost", &Validator::TestResponseToDisplayLost},
    {"TestPropertyAccess", &Validator::TestPropertyAccess},
    {"RunErrorCapture", &Validator::RunErrorCapture},
    {"TestResponseToIadChanges", &Validator::TestResponseToIadChanges},
};

template <size_t N>
std::vector<TestEntry> Bind(const TestDefinition (&definitions)[N], Validator& validator) {
  std::vector<TestEntry> entries;
  entries.reserve(N);
  for (const TestDefinition& definition : definitions) {
    entries.push_back({definition.name, [&validator, procedure = definition.procedure] {
                         return (validator.*procedure)();
                       }});
  }
  return entries;
}

}  // namespace

std::vector<TestEntry> DefaultTestsOf(Validator& validator) {
  return Bind(kDefaultTests, validator);
}

std::vector<TestEntry> ExtraTestsOf(Validator& validator) { return Bind(kExtraTests, validator); }

std::vector<TestEntry> GetAllTests(RunTarget& target) {
  std::vector<TestEntry> all = target.GetDefaultTests();
  for (TestEntry& entry : target.GetExtraTests()) all.push_back(std::move(entry));
  return all;
}

std::map<std::string, TestProcedure> GetTestMap(RunTarget& target) {
  std::map<std::string, TestProcedure> map;
  for (TestEntry& entry : GetAllTests(target)) map.emplace(entry.name, std::move(entry.procedure));
  return map;
}

void RunTestWithRetry(const TestProcedure& procedure) {
  TestResult result = TestResult::TransientError;
  for (int attempts = 0; result == TestResult::TransientError && attempts < 3; ++attempts) {
    if (attempts > 0) LogInfo("*** Retrying the test ***");
    result = procedure();
  }
}

}  // namespace QasValidator
