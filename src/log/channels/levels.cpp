#include "log/channels/levels.h"

#include <array>

namespace luxlog {

namespace {

struct LevelLook {
  std::string_view prefix;
  uint16_t colour;
};

// By level value; the last entry is for every other value.
constexpr std::array<LevelLook, 7> kLooks = {{
    {" {DISABLED}[", 1},   // blue
    {" {TRACE}   [", 5},   // magenta
    {" {DEBUG}   [", 7},   // grey
    {" {INFO}    [", 15},  // bright white
    {" {WARNING} [", 14},  // yellow
    {" {!ERROR!} [", 12},  // bright red
    {" {???}     [", 0},
}};

const LevelLook& LookOf(uint32_t level) {
  return kLooks[level < kLooks.size() - 1 ? level : kLooks.size() - 1];
}

}  // namespace

std::string_view LevelPrefix(uint32_t level) { return LookOf(level).prefix; }

uint16_t LevelColour(uint32_t level) { return LookOf(level).colour; }

}  // namespace luxlog
