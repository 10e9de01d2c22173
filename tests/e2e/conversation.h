#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "command_runner.h"

namespace e2e {

/// One turn of a user at the console: once `awaited` has appeared on standard output (after
/// the previous turn's), wait `pause`, then type `reply`.
struct Turn {
  std::string awaited;
  std::chrono::milliseconds pause{0};
  std::string reply;
};

struct Conversation {
  CommandOutcome outcome;                    // standard error is left to the test's own
  std::vector<std::string> outputAtReplies;  // standard output when each reply was typed
};

/// Runs `command` with `opening` typed at once and then the `turns`. The command and what it
/// started are killed when they have not ended within `limit` (exit status -1).
Conversation Converse(const std::vector<std::string>& command, const std::string& opening,
                      const std::vector<Turn>& turns, std::chrono::seconds limit);

}  // namespace e2e
