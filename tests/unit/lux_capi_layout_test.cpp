#include <gtest/gtest.h>

#include <cstddef>

#include "lux/lux_internal.h"

extern "C" size_t LuxCapiLayoutFromC(int which);

namespace {

TEST(LuxCapiLayout, RecordsHaveTheirDocumentedSizes) {
  EXPECT_EQ(sizeof(luxErrorInfo), 516u);
  EXPECT_EQ(offsetof(luxErrorInfo, ErrorString), 4u);
  EXPECT_EQ(sizeof(luxInitParams), 32u);
  EXPECT_EQ(sizeof(luxGraphicsLuid), 8u);
  EXPECT_EQ(sizeof(luxPosef), 7 * sizeof(float));
  EXPECT_EQ(sizeof(luxSessionStatus), 7u);
  EXPECT_EQ(offsetof(luxSessionStatus, IsVisible), 0u);
}

TEST(LuxCapiLayout, CAndCppAgree) {
  EXPECT_EQ(LuxCapiLayoutFromC(0), sizeof(luxErrorInfo));
  EXPECT_EQ(LuxCapiLayoutFromC(1), sizeof(luxInitParams));
  EXPECT_EQ(LuxCapiLayoutFromC(2), sizeof(luxGraphicsLuid));
  EXPECT_EQ(LuxCapiLayoutFromC(3), sizeof(luxPosef));
  EXPECT_EQ(LuxCapiLayoutFromC(4), sizeof(luxSessionStatus));
  EXPECT_EQ(LuxCapiLayoutFromC(5), offsetof(luxEyeRenderDesc, HmdToEyePose));
  EXPECT_EQ(LuxCapiLayoutFromC(6), sizeof(luxiMetricField));
}

}  // namespace
