#include "checks/guidelines.h"

#include <gtest/gtest.h>

namespace QasValidator {
namespace {

TEST(GetGuidelineUrl, PagesAndTheirAnchorsFollowTheBaseAndUnknownIdsGiveNothing) {
  const std::string base = GuidelineBaseUrl;
  EXPECT_TRUE(base.ends_with("distribute/latest/concepts/")) << base;
  EXPECT_EQ(GetGuidelineUrl(9, ""), base + "sqm-pc-performance-1/");
  EXPECT_EQ(GetGuidelineUrl(9, "x"), base + "sqm-pc-performance-1/#x");
  EXPECT_EQ(GetGuidelineUrl(13), base + "sqm-pc-security-3/");
  for (const int unknown : {11, 14, -1}) EXPECT_EQ(GetGuidelineUrl(unknown, "x"), "") << unknown;
}

}  // namespace
}  // namespace QasValidator
