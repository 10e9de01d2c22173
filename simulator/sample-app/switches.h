#pragma once

#include <string>
#include <vector>

#include "behaviour.h"

namespace sampleapp {

/// What the command line asked for.
struct SwitchesOutcome {
  Behaviour behaviour;
  bool helpRequested = false;
  /// Why the command line is wrong; empty when it is right.
  std::string error;
  /// The arguments with the launcher switches left out: the command line of the VR
  /// application that a launcher starts.
  std::vector<std::string> applicationArguments;
};

/// Reads the switches in `arguments` (without the program name). A switch that takes a value
/// takes the next argument or the text after "=". Later switches override earlier ones.
SwitchesOutcome ParseSwitches(const std::vector<std::string>& arguments);

/// The help text: usage and one line per switch.
std::string UsageText(const std::string& programName);

}  // namespace sampleapp
