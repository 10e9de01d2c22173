#include "runtime/internal_functions.h"

#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "support/child_process.h"

namespace LuxLoader {
namespace {

using testsupport::RunInChild;

TEST(InternalFunctions, UnboundFunctionsAnswerMinus3002) {
  EXPECT_EQ(luxi_EnableRealtimeEventOutput(luxTrue), -3002);
  const luxiMetricField field{"user_action", "x"};
  EXPECT_EQ(luxi_ReportGenericMetrics("corvia_dev_tools", &field, 1, 0), -3002);
}

TEST(InternalFunctions, EveryCalledFunctionIsRegisteredOnce) {
  std::vector<std::string> names;
  for (const InternalFunctionRegistration* record = InternalFunctionRegistration::Head();
       record != nullptr; record = record->Next()) {
    names.push_back(record->Name());
    if (names.back() == "luxi_EnableRealtimeEventOutput") {
      EXPECT_EQ(record->Variable(), reinterpret_cast<void**>(&luxi_EnableRealtimeEventOutput));
    } else {
      EXPECT_EQ(record->Variable(), reinterpret_cast<void**>(&luxi_ReportGenericMetrics));
    }
  }
  // Each record is prepended: the last one registered is the head.
  EXPECT_EQ(names, (std::vector<std::string>{"luxi_ReportGenericMetrics",
                                             "luxi_EnableRealtimeEventOutput"}));
}

TEST(InternalFunctions, BindingWithoutARuntimeStopsAtTheFirstFailure) {
  const auto run = RunInChild([] {
    std::cout << BindInternalFunctions() << " " << luxi_EnableRealtimeEventOutput(luxTrue);
    return 0;
  });
  EXPECT_EQ(run.out, "-1004 -3002");
}

}  // namespace
}  // namespace LuxLoader
