#pragma once

#include <string>

namespace testsupport {

/// The whole content of the file at `path`, byte for byte; empty when it cannot be read.
std::string ReadFile(const std::string& path);

}  // namespace testsupport
