#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace QasUtils {

/// A game engine's or engine plug-in's version, "major.minor.patch" followed by anything (the
/// suffix, e.g. "f1" of 2019.4.1f1). A negative component is not given: comparisons look only
/// at the components that both sides give, from the left, and never at the suffix.
class EngineVersion {
 public:
  /// A version made from numbers, without a suffix. -1 leaves a component out.
  EngineVersion(int32_t major, int32_t minor, int32_t patch);
  /// The same with `suffix`, what followed the third number in the text.
  EngineVersion(int32_t major, int32_t minor, int32_t patch, std::string suffix);

  /// The version that `text` spells: three decimal numbers separated by dots at its start, the
  /// rest as suffix. Empty when `text` is not such a version. A number too large for 32 bits
  /// is clamped to the largest 32-bit value. Should the regular-expression engine fail,
  /// "Caught an error: " and its text are logged (Info) and the result is empty.
  static std::shared_ptr<EngineVersion> Parse(const std::string& text);

  int32_t Major() const { return major; }
  int32_t Minor() const { return minor; }
  int32_t Patch() const { return patch; }
  const std::string& Suffix() const { return suffix; }

  /// Whether the two versions are the same as far as both give them: all three components
  /// when both give minor and patch, major and minor when both give minor, else major alone.
  /// Not transitive (4.12 matches 4.12.0 and 4.12.9), hence not an equality operator.
  bool Matches(const EngineVersion& other) const;
  /// True when they match; else the first differing component decides.
  bool operator>=(const EngineVersion& other) const;
  /// False when they match; else the first differing component decides.
  bool operator<(const EngineVersion& other) const;

 private:
  /// Negative, zero or positive as the first component that differs is smaller, absent or
  /// larger in this version; compares as signed numbers.
  int CompareComponents(const EngineVersion& other) const;

  int32_t major;
  int32_t minor;
  int32_t patch;
  std::string suffix;
};

}  // namespace QasUtils
