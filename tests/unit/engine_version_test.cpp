#include "checks/engine_version.h"

#include <gtest/gtest.h>

#include <string>

// Engine and plug-in version strings: what parses, and how versions with and without their
// later components compare.

namespace QasUtils {
namespace {

EngineVersion Parsed(const std::string& text) {
  const std::shared_ptr<EngineVersion> version = EngineVersion::Parse(text);
  if (!version) throw std::invalid_argument("not a version: " + text);
  return *version;
}

std::string Components(const EngineVersion& version) {
  return std::to_string(version.Major()) + "." + std::to_string(version.Minor()) + "." +
         std::to_string(version.Patch()) + " [" + version.Suffix() + "]";
}

TEST(EngineVersionParse, ThreeNumbersAndWhateverFollowsThem) {
  const std::pair<std::string, std::string> cases[] = {
      {"2019.4.1f1", "2019.4.1 [f1]"},
      {"1.2.3.4", "1.2.3 [.4]"},
      {"4.27.2-release UE4", "4.27.2 [-release UE4]"},
      {"007.08.09", "7.8.9 []"},
      // Numbers too large for 32 bits are clamped to the largest.
      {"2147483648.99999999999999999999.2147483647x", "2147483647.2147483647.2147483647 [x]"},
      {"2147483646.0.0", "2147483646.0.0 []"},
  };
  for (const auto& [text, components] : cases) EXPECT_EQ(Components(Parsed(text)), components);
  EXPECT_EQ(Parsed("1.2.3" + std::string(5000, 'f')).Suffix(), std::string(5000, 'f'));
  for (const char* text : {"", "5.6", "5", "5.6.", "v5.6.4", " 5.6.4", "5.x.4", "5..6.4", "5.6.4\n",
                           "-1.2.3", "five.six.four"}) {
    EXPECT_FALSE(EngineVersion::Parse(text)) << text;
  }
}

TEST(EngineVersionCompare, OnlyTheComponentsBothGiveCountFromTheLeftAndNeverTheSuffix) {
  const EngineVersion largest(2147483647, 2147483647, 2147483647);
  const EngineVersion unity(5, 6, 4);
  const EngineVersion unreal(4, 12, -1);
  const EngineVersion four(4, -1, -1);
  const struct {
    EngineVersion left;
    EngineVersion right;
    bool matches, atLeast, below;
  } cases[] = {
      {Parsed("2147483648.0.0x"), Parsed("2147483647.0.0"), true, true, false},
      {Parsed("2147483648.99999999999999999999.2147483647x"), largest, true, true, false},
      {Parsed("99999999999.9.9"), largest, false, false, true},
      {Parsed("5.6.4"), unity, true, true, false},
      {Parsed("5.6.5"), unity, false, true, false},
      {Parsed("5.7.0"), unity, false, true, false},
      {Parsed("5.6.3p2"), unity, false, false, true},
      {Parsed("5.5.9"), unity, false, false, true},
      {Parsed("4.99.99"), unity, false, false, true},
      {Parsed("5.6.4a"), Parsed("5.6.4z"), true, true, false},
      // A missing patch leaves only major and minor; matching is not transitive.
      {Parsed("4.12.0"), unreal, true, true, false},
      {unreal, Parsed("4.12.9"), true, true, false},
      {Parsed("4.12.0"), Parsed("4.12.9"), false, false, true},
      {Parsed("4.13.0"), unreal, false, true, false},
      {Parsed("4.11.2"), unreal, false, false, true},
      // A missing minor leaves only major.
      {Parsed("4.99.1"), four, true, true, false},
      {Parsed("3.99.1"), four, false, false, true},
      {four, Parsed("5.0.0"), false, false, true},
  };
  for (const auto& c : cases) {
    const std::string names = Components(c.left) + " vs " + Components(c.right);
    EXPECT_EQ(c.left.Matches(c.right), c.matches) << names;
    EXPECT_EQ(c.left >= c.right, c.atLeast) << names;
    EXPECT_EQ(c.left < c.right, c.below) << names;
  }
}

}  // namespace
}  // namespace QasUtils
