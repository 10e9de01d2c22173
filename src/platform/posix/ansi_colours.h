#pragma once

#include <cstdint>
#include <string>

namespace platform {

/// The console's attributes while it shows the terminal's own colours.
inline constexpr uint16_t kTerminalDefaultAttributes = 7;

/// The ANSI escape sequence that gives a terminal the text colour of console `attributes`
/// (bits 0 to 3; the background is left as the terminal has it). Grey (7), the console's
/// usual colour, stands for the terminal's own colours.
std::string AnsiColourSequence(uint16_t attributes);

}  // namespace platform
