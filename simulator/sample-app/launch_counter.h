#pragma once

#include <optional>
#include <string>

namespace sampleapp {

/// Counts one more launch in the file at `path` (a decimal number; a missing or empty file
/// counts as 0) and returns the new count; nothing when the file cannot be written.
std::optional<int> CountLaunch(const std::string& path);

}  // namespace sampleapp
