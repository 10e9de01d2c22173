#include "checks/engine_version.h"

#include <limits>
#include <regex>
#include <utility>

#include "log/validator_log.h"

namespace QasUtils {

namespace {

constexpr int32_t kLargest = std::numeric_limits<int32_t>::max();

/// The decimal number that `digits` (decimal digits only) spell, clamped to the largest 32-bit
/// value.
int32_t ClampedNumber(const std::string& digits) {
  int64_t value = 0;
  for (const char digit : digits) {
    value = value * 10 + (digit - '0');
    if (value >= kLargest) return kLargest;
  }
  return static_cast<int32_t>(value);
}

}  // namespace

EngineVersion::EngineVersion(int32_t major, int32_t minor, int32_t patch)
    : EngineVersion(major, minor, patch, {}) {}

EngineVersion::EngineVersion(int32_t major, int32_t minor, int32_t patch, std::string suffix)
    : major(major), minor(minor), patch(patch), suffix(std::move(suffix)) {}

std::shared_ptr<EngineVersion> EngineVersion::Parse(const std::string& text) {
  try {
    static const std::regex pattern(R"(^(\d+)\.(\d+)\.(\d+)(.*)$)", std::regex::ECMAScript);
    std::smatch match;
    if (!std::regex_match(text, match, pattern)) return nullptr;
    return std::make_shared<EngineVersion>(ClampedNumber(match[1].str()),
                                           ClampedNumber(match[2].str()),
                                           ClampedNumber(match[3].str()), match[4].str());
  } catch (const std::regex_error& error) {
    QasValidator::LogInfo("Caught an error: ", error.what());
    return nullptr;
  }
}

bool EngineVersion::Matches(const EngineVersion& other) const {
  const bool bothMinors = minor >= 0 && other.minor >= 0;
  const bool bothPatches = patch >= 0 && other.patch >= 0;
  if (bothMinors && bothPatches) {
    return major == other.major && minor == other.minor && patch == other.patch;
  }
  if (bothMinors) return major == other.major && minor == other.minor;
  return major == other.major;
}

int EngineVersion::CompareComponents(const EngineVersion& other) const {
  if (major != other.major) return major < other.major ? -1 : 1;
  if (minor != other.minor) return minor < other.minor ? -1 : 1;
  if (patch != other.patch) return patch < other.patch ? -1 : 1;
  return 0;
}

bool EngineVersion::operator>=(const EngineVersion& other) const {
  return Matches(other) || CompareComponents(other) > 0;
}

bool EngineVersion::operator<(const EngineVersion& other) const {
  return !Matches(other) && CompareComponents(other) < 0;
}

}  // namespace QasUtils
