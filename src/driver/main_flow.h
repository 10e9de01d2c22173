#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace QasValidator {

class RunTarget;

/// Default of "--log_file", relative to the current directory.
inline constexpr char DefaultLogFile[] = "CorviaSqmValidator_Log.txt";

/// The validator's main flow over `arguments` (UTF-8, the program path first): brings
/// `target` up, reads the command line, runs the selected tests and prints the summary.
/// Returns the process exit status.
int RunMainFlow(const std::vector<std::string>& arguments, RunTarget& target);

/// Tears the run down once: sends the close event and shuts the validator down. Later calls,
/// from any thread, return at once.
void FinalShutdown();

/// Console control handler: Ctrl+C, close, logoff and shutdown run `FinalShutdown` and let
/// the process end; every other event (Ctrl+Break) is swallowed.
bool ConsoleControlHandler(uint32_t event);

}  // namespace QasValidator
