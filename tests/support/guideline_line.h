#pragma once

#include <string>

namespace testsupport {

/// The console line that cites the guideline page at `path` (e.g. "sqm-pc-input-1/"), with its
/// end.
std::string GuidelineLine(const std::string& path);

}  // namespace testsupport
