#pragma once

#include <map>
#include <string>
#include <vector>

#include "utils/file_path.h"
#include "validator/test_result.h"

// CheckForExtraneousFiles without the Validator: the checks of the executable, the walk of the
// folder that holds it, and the report of what the walk found.

namespace QasValidator {

/// Header of the group of debug-symbol files (".pdb", and the ".debug" files of POSIX builds).
inline constexpr char kDebugSymbolsHeader[] =
    "Found pdb file(s) that need to be removed from submission package:";
/// Header of the group of libraries of other platforms that are known to cause trouble.
inline constexpr char kKnownBadLibrariesHeader[] =
    "The package contains DLL libraries that are known to cause issues when running on the "
    "Corvia platform. These files must be removed prior to uploading:";

/// What the walk of a package found.
struct PackageFindings {
  /// The full paths found, in UTF-8, per group header, in the order found. The map orders the
  /// groups by header: the debug symbols first.
  std::map<std::string, std::vector<std::string>> groups;
  /// The walk was stopped by a failure (after its message).
  bool stopped = false;
};

/// Walks the tree under `folder` breadth first, level by level, and collects the debug-symbol
/// files and the known-bad libraries. A directory reached again (through a link that leads
/// back into the tree, or a second mount) is walked once. A directory that cannot be listed, a
/// path the system cannot take or an error of the regular-expression engine stops the walk.
PackageFindings FindExtraneousFiles(const QasUtils::FilePath& folder);

/// Writes each group of `findings` (header, the paths indented by three blanks, the guideline
/// page): `Passed` when there is none and the walk was not stopped, else `Failed`.
TestResult ReportExtraneousFiles(const PackageFindings& findings);

/// The body of CheckForExtraneousFiles for the application's executable `executablePath`: it
/// must exist and be a program the system starts, and the tree of its folder must hold no
/// extraneous files. A path the path type refuses fails the test after "INTERNAL ERROR: " and
/// its message.
TestResult InspectPackage(const std::string& executablePath);

}  // namespace QasValidator
