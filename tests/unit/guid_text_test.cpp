#include "telemetry/guid_text.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

namespace QasValidator {
namespace {

TEST(GuidText, FieldsThenBytesInUpperCaseHex) {
  platform::Guid guid;
  guid.data1 = 0x0123ABCD;
  guid.data2 = 0x00EF;
  guid.data3 = 0x4A5B;
  const uint8_t bytes[8] = {0x9C, 0x0D, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB};
  std::copy(std::begin(bytes), std::end(bytes), guid.data4);
  EXPECT_EQ(GuidText(guid), "0123ABCD-00EF-4A5B-9C0D-0123456789AB");
  EXPECT_EQ(GuidText(platform::Guid{}), "00000000-0000-0000-0000-000000000000");
}

TEST(GuidText, NewGuidsAreRandomVersionFour) {
  const std::regex form("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
  std::set<std::string> seen;
  for (int i = 0; i < 64; ++i) {
    const std::string text = NewGuidText();
    EXPECT_TRUE(std::regex_match(text, form)) << text;
    seen.insert(text);
  }
  EXPECT_EQ(seen.size(), 64u);
}

}  // namespace
}  // namespace QasValidator
