#pragma once

#include <string>
#include <vector>

// Pieces of the validator's console output that many tests expect.

namespace testsupport {

/// The console line that cites the guideline page at `path` (e.g. "sqm-pc-input-1/"), with its
/// end.
std::string GuidelineLine(const std::string& path);

/// The announcement of the load wait.
std::string LoadWait(int seconds);

/// The end of a test with its result ("PASSED", "FAILED", "SKIPPED").
std::string Ended(const std::string& result);

/// The summary of the attempts, each "name: result", and the trailer.
std::string Summary(const std::vector<std::string>& attempts);

/// The error lines of the runtime's transient internal error.
extern const char kTransientErrorLines[];

}  // namespace testsupport
