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

/// The visibility tests' counter lines, and their verdicts with the guideline cited.
std::string CommitCounterLines(const std::string& visible, const std::string& notVisible);
extern const std::string kNoVisibleCommitLines;
extern const std::string kCommittedWhenNotVisibleLines;
extern const std::string kNotFocusAwareCommittedInDashLines;
extern const std::string kFocusAwareStoppedInDashLines;

// The lines about the SDK and engine an application was built with, as TestSdkVersion has them
// printed. Process ids vary from run to run: compare output passed through WithoutProcessIds
// with lines made here, which name the process 0x1.

/// `printed` with the process id of every "processId 0x..." written as 0x1.
std::string WithoutProcessIds(const std::string& printed);

/// The line (and the empty line after it) that reports the SDK version major.minor.
std::string SdkVersionLines(const std::string& majorDotMinor);

/// The lines that report an engine identification.
std::string EngineIdentificationLines(const std::string& name, const std::string& version,
                                      const std::string& pluginName,
                                      const std::string& pluginVersion);

}  // namespace testsupport
