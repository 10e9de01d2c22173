#include "checks/guidelines.h"

#include <gtest/gtest.h>

namespace QasValidator {
namespace {

TEST(GetGuidelineUrl, PagesFollowTheBase) {
  const std::string base = GuidelineBaseUrl;
  EXPECT_EQ(base.substr(base.size() - std::string("distribute/latest/concepts/").size()),
            "distribute/latest/concepts/");
  EXPECT_EQ(GetGuidelineUrl(9, ""), base + "sqm-pc-performance-1/");
  EXPECT_EQ(GetGuidelineUrl(9, "x"), base + "sqm-pc-performance-1/#x");
  EXPECT_EQ(GetGuidelineUrl(0), base + "publish-tarn-app-submission/");
  EXPECT_EQ(GetGuidelineUrl(13), base + "sqm-pc-security-3/");
}

TEST(GetGuidelineUrl, UnknownIdsGiveTheEmptyString) {
  EXPECT_EQ(GetGuidelineUrl(11), "");
  EXPECT_EQ(GetGuidelineUrl(14), "");
  EXPECT_EQ(GetGuidelineUrl(-1, "x"), "");
}

}  // namespace
}  // namespace QasValidator
