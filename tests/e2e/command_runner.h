#pragma once

#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/console_lines.h"
#include "support/read_file.h"

namespace e2e {

/// What a finished command left behind: its exit status and exact output.
using CommandOutcome = testsupport::ChildOutcome;

/// Runs `command` (the program, then its arguments; the program is looked up in PATH) with
/// an empty standard input and returns its exact output and exit status.
CommandOutcome RunCommand(const std::vector<std::string>& command);

/// Runs `command` on a fresh simulated machine through scripts/with-simulator, with the
/// script's `options` (e.g. "--no-headset") before it.
CommandOutcome RunWithSimulator(const std::vector<std::string>& options,
                                const std::vector<std::string>& command);

using testsupport::ReadFile;

// The validator binary run on a fresh simulated machine against the sample application, and
// the pieces of the console output such runs are expected to print.

/// The validator's command line with `options` against the application `application` started
/// with `switches`.
std::vector<std::string> ValidatorCommand(const std::string& application,
                                          const std::vector<std::string>& options,
                                          const std::vector<std::string>& switches);

/// Runs the validator with `options` against the sample application started with `switches`,
/// on a simulated machine made with the options `simulator` of with-simulator.
CommandOutcome RunValidator(const std::vector<std::string>& options,
                            const std::vector<std::string>& switches = {},
                            const std::vector<std::string>& simulator = {});

/// Runs the validator like RunValidator and expects exit status 0 and output that Matches
/// `expected` with its `optional` lines; returns the run for further checks.
CommandOutcome ExpectRun(const std::string& expected, const std::vector<std::string>& options,
                         const std::vector<std::string>& switches = {},
                         const std::vector<std::string>& simulator = {},
                         const std::vector<std::string>& optional = {});

/// Whether `text` is `expected`, where each "#" of `expected` stands for a decimal number with
/// six decimals and each "%" for a whole decimal number. `optional` lines of `expected` (whole
/// lines, given without their line end) may be missing.
bool Matches(const std::string& text, const std::string& expected,
             const std::vector<std::string>& optional = {});

/// The number after the first `prefix` in `text`, -1 when there is none.
double NumberAfter(const std::string& text, const std::string& prefix);

using testsupport::Ended;
using testsupport::GuidelineLine;
using testsupport::LoadWait;
using testsupport::Summary;

/// The start of a test: its name and the warning dismissed while its application starts.
std::string Started(const std::string& test);

/// Options that run `tests` after a load wait of half a second.
std::vector<std::string> QuickLoadOptions(const std::vector<std::string>& tests);

/// A test's start with the load wait of `QuickLoadOptions`, up to the test's own first line.
std::string BegunAfterQuickLoad(const std::string& test);

}  // namespace e2e
