#include "platform/posix/ansi_colours.h"

namespace platform {

std::string AnsiColourSequence(uint16_t attributes) {
  const unsigned colour = attributes & 0x0Fu;
  if (colour == kTerminalDefaultAttributes) return "\x1b[0m";
  // Console colour bits are blue 1, green 2, red 4; ANSI numbers its colours red 1, green 2,
  // blue 4, and puts the intense ones at 90 instead of 30.
  const unsigned ansi = ((colour & 4u) >> 2) | (colour & 2u) | ((colour & 1u) << 2);
  const unsigned base = (colour & 8u) != 0 ? 90 : 30;
  return "\x1b[" + std::to_string(base + ansi) + "m";
}

}  // namespace platform
