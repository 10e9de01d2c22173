#pragma once

#include <string>

// The validator's console lines about the SDK and engine an application was built with, as
// TestSdkVersion has them printed. Process ids vary from run to run: compare output passed
// through WithoutProcessIds with lines made here, which name the process 0x1.

namespace testsupport {

/// `printed` with the process id of every "processId 0x..." written as 0x1.
std::string WithoutProcessIds(const std::string& printed);

/// The line (and the empty line after it) that reports the SDK version major.minor.
std::string SdkVersionLines(const std::string& majorDotMinor);

/// The lines that report an engine identification.
std::string EngineIdentificationLines(const std::string& name, const std::string& version,
                                      const std::string& pluginName,
                                      const std::string& pluginVersion);

}  // namespace testsupport
