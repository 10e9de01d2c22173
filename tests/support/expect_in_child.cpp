#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <iostream>

#include "support/child_process.h"

namespace testsupport {

ChildOutcome ExpectInChild(const std::function<void()>& body) {
  const ChildOutcome run = RunInChild([&body] {
    testing::TestPartResultArray results;
    {
      const testing::ScopedFakeTestPartResultReporter reporter(
          testing::ScopedFakeTestPartResultReporter::INTERCEPT_ALL_THREADS, &results);
      body();
    }
    int failures = 0;
    for (int i = 0; i < results.size(); ++i) {
      const testing::TestPartResult& result = results.GetTestPartResult(i);
      if (!result.failed()) continue;
      ++failures;
      std::cerr << (result.file_name() != nullptr ? result.file_name() : "") << ":"
                << result.line_number() << ": " << result.message() << "\n";
    }
    return failures;
  });
  EXPECT_EQ(run.exitStatus, 0) << "failed in the child:\n" << run.err;
  return run;
}

}  // namespace testsupport
