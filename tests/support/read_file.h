#pragma once

#include <string>

namespace testsupport {

/// The whole content of the file at `path`, byte for byte; empty when it cannot be read.
std::string ReadFile(const std::string& path);

/// The text of the file at `path` with the system's line ends ("\r\n" on Windows) read as
/// "\n"; empty when it cannot be read.
std::string ReadTextFile(const std::string& path);

}  // namespace testsupport
