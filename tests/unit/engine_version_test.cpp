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

TEST(EngineVersionParse, ThreeNumbersAndWhateverFollowsThem) {
  const EngineVersion unity = Parsed("2019.4.1f1");
  EXPECT_EQ(unity.Major(), 2019);
  EXPECT_EQ(unity.Minor(), 4);
  EXPECT_EQ(unity.Patch(), 1);
  EXPECT_EQ(unity.Suffix(), "f1");
  const EngineVersion plain = Parsed("5.6.4");
  EXPECT_EQ(plain.Suffix(), "");
  EXPECT_EQ(Parsed("1.2.3.4").Suffix(), ".4");
  EXPECT_EQ(Parsed("4.27.2-release UE4").Suffix(), "-release UE4");
  EXPECT_EQ(Parsed("007.08.09").Major(), 7);
}

TEST(EngineVersionParse, FewerNumbersOrOtherTextAreNoVersion) {
  for (const char* text : {"", "5.6", "5", "5.6.", "v5.6.4", " 5.6.4", "5.x.4", "5..6.4", "5.6.4\n",
                           "-1.2.3", "five.six.four"}) {
    EXPECT_FALSE(EngineVersion::Parse(text)) << text;
  }
}

TEST(EngineVersionParse, NumbersTooLargeFor32BitsAreClampedToTheLargest) {
  const EngineVersion huge = Parsed("2147483648.99999999999999999999.2147483647x");
  EXPECT_EQ(huge.Major(), 2147483647);
  EXPECT_EQ(huge.Minor(), 2147483647);
  EXPECT_EQ(huge.Patch(), 2147483647);
  EXPECT_EQ(huge.Suffix(), "x");
  EXPECT_EQ(Parsed("2147483646.0.0").Major(), 2147483646);
  // Clamped versions still compare: nothing is above the largest.
  EXPECT_TRUE(huge >= EngineVersion(2147483647, 2147483647, 2147483647));
  EXPECT_FALSE(huge < EngineVersion(2147483647, 2147483647, 2147483647));
}

TEST(EngineVersionParse, ALongSuffixIsKept) {
  const std::string suffix(5000, 'f');
  EXPECT_EQ(Parsed("1.2.3" + suffix).Suffix(), suffix);
}

TEST(EngineVersionCompare, TheUnityMinimumIsMetFrom564Up) {
  const EngineVersion minimum(5, 6, 4);
  EXPECT_TRUE(Parsed("5.6.4") >= minimum);
  EXPECT_TRUE(Parsed("5.6.5") >= minimum);
  EXPECT_TRUE(Parsed("5.7.0") >= minimum);
  EXPECT_TRUE(Parsed("2019.4.1f1") >= minimum);
  EXPECT_FALSE(Parsed("5.6.3p2") >= minimum);
  EXPECT_FALSE(Parsed("5.5.9") >= minimum);
  EXPECT_FALSE(Parsed("4.99.99") >= minimum);
}

TEST(EngineVersionCompare, TheSuffixNeverCounts) {
  EXPECT_TRUE(Parsed("5.6.4a") >= Parsed("5.6.4z"));
  EXPECT_TRUE(Parsed("5.6.4z") >= Parsed("5.6.4a"));
  EXPECT_FALSE(Parsed("5.6.4a") < Parsed("5.6.4z"));
  EXPECT_TRUE(Parsed("5.6.4a").Matches(Parsed("5.6.4")));
}

TEST(EngineVersionCompare, AMissingPatchLeavesOnlyMajorAndMinor) {
  const EngineVersion unreal(4, 12, -1);
  EXPECT_TRUE(Parsed("4.12.0") >= unreal);
  EXPECT_TRUE(Parsed("4.12.9") >= unreal);
  EXPECT_TRUE(Parsed("4.13.0") >= unreal);
  EXPECT_FALSE(Parsed("4.11.2") >= unreal);
  EXPECT_FALSE(Parsed("3.99.0") >= unreal);
  EXPECT_TRUE(Parsed("4.12.9").Matches(unreal));
  EXPECT_TRUE(unreal.Matches(Parsed("4.12.0")));
  // Matching is not transitive: both match 4.12, not each other.
  EXPECT_FALSE(Parsed("4.12.0").Matches(Parsed("4.12.9")));
  EXPECT_FALSE(Parsed("4.12.9") < unreal);
  EXPECT_FALSE(unreal < Parsed("4.12.9"));
  EXPECT_TRUE(Parsed("4.11.2") < unreal);
}

TEST(EngineVersionCompare, AMissingMinorLeavesOnlyMajor) {
  const EngineVersion four(4, -1, -1);
  EXPECT_TRUE(four.Matches(Parsed("4.0.0")));
  EXPECT_TRUE(Parsed("4.99.1").Matches(four));
  EXPECT_TRUE(Parsed("4.0.0") >= four);
  EXPECT_FALSE(Parsed("3.99.1") >= four);
  EXPECT_TRUE(four < Parsed("5.0.0"));
  EXPECT_FALSE(four < Parsed("4.0.1"));
}

TEST(EngineVersionCompare, LessThanIsTheFirstDifferingComponent) {
  const EngineVersion plugin(1, 23, 0);
  EXPECT_TRUE(Parsed("1.22.0") < plugin);
  EXPECT_TRUE(Parsed("1.22.99") < plugin);
  EXPECT_TRUE(Parsed("0.99.99") < plugin);
  EXPECT_FALSE(Parsed("1.23.0") < plugin);
  EXPECT_FALSE(Parsed("1.23.0-beta") < plugin);
  EXPECT_FALSE(Parsed("1.23.1") < plugin);
  EXPECT_FALSE(Parsed("2.0.0") < plugin);
  EXPECT_TRUE(EngineVersion(1, 2, 3) < EngineVersion(1, 2, 4));
  EXPECT_FALSE(EngineVersion(1, 2, 4) < EngineVersion(1, 2, 3));
  EXPECT_EQ(EngineVersion(1, 2, 3).Suffix(), "");
}

}  // namespace
}  // namespace QasUtils
