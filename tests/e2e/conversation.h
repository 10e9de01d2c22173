#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "command_runner.h"

// A command whose standard input answers what it prints, as a user at the console would.

namespace e2e {

/// One turn: once `awaited` has appeared on standard output (after the previous turn's), wait
/// `pause`, then write `reply` to standard input.
struct Turn {
  std::string awaited;
  std::chrono::milliseconds pause{0};
  std::string reply;
};

struct Conversation {
  CommandOutcome outcome;
  /// Standard output as it stood when each reply was written.
  std::vector<std::string> outputAtReplies;
};

/// Runs `command` with `opening` written to its standard input at once, then the `turns` in
/// order. The command and everything it starts are killed when they have not ended within
/// `limit` (exit status -1).
Conversation Converse(const std::vector<std::string>& command, const std::string& opening,
                      const std::vector<Turn>& turns, std::chrono::seconds limit);

}  // namespace e2e
