#pragma once

#include <cstdint>
#include <string_view>

namespace luxlog {

/// Message and channel levels. Other values may reach the output worker from other modules;
/// they are written with the prefix " {???}     [".
inline constexpr uint32_t kDisabled = 0;
inline constexpr uint32_t kTrace = 1;
inline constexpr uint32_t kDebug = 2;
inline constexpr uint32_t kInfo = 3;
inline constexpr uint32_t kWarning = 4;
inline constexpr uint32_t kError = 5;

/// What the header shows for `level`, from its leading blank to the bracket before the channel.
std::string_view LevelPrefix(uint32_t level);

/// The console colour of `level` (text attributes: 1 blue, 2 green, 4 red, 8 intensity).
uint16_t LevelColour(uint32_t level);

}  // namespace luxlog
