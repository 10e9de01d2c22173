#pragma once

#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/read_file.h"

namespace e2e {

/// What a finished command left behind: its exit status and exact output.
using CommandOutcome = testsupport::ChildOutcome;

/// Runs `command` (the program, then its arguments; the program is looked up in PATH) with
/// an empty standard input and returns its exact output and exit status.
CommandOutcome RunCommand(const std::vector<std::string>& command);

/// `command` run on a fresh simulated machine through scripts/with-simulator, with the
/// script's `options` (e.g. "--no-headset") before it.
std::vector<std::string> OnSimulator(const std::vector<std::string>& options,
                                     const std::vector<std::string>& command);

/// Runs `command` on a fresh simulated machine (see OnSimulator).
CommandOutcome RunWithSimulator(const std::vector<std::string>& options,
                                const std::vector<std::string>& command);

using testsupport::ReadFile;

}  // namespace e2e
