#include "property_store.h"

#include <gtest/gtest.h>

namespace luxsim {
namespace {

TEST(PropertyStore, ValuesMustFitTheirType) {
  PropertyStore store;
  EXPECT_TRUE(store.Set(0, "FakeIADEnabled", "bool", true));
  EXPECT_FALSE(store.Set(0, "FakeIADEnabled", "bool", 1));
  EXPECT_TRUE(store.Set(0, "FrequentTelEventPid", "int", 42));
  EXPECT_FALSE(store.Set(0, "FrequentTelEventPid", "int", 4.5));
  EXPECT_TRUE(store.Set(0, "FakeIAD", "float", 0.07));
  EXPECT_TRUE(store.Set(0, "FakeIAD", "float", 1));
  EXPECT_FALSE(store.Set(0, "FakeIAD", "float", true));
  Json::Value array(Json::arrayValue);
  array.append(1.0);
  array.append(2);
  EXPECT_TRUE(store.Set(0, "Offsets", "float_array", array));
  array.append("x");
  EXPECT_FALSE(store.Set(0, "Offsets", "float_array", array));
  EXPECT_FALSE(store.Set(0, "Name", "colour", "red"));
  EXPECT_FALSE(store.Set(0, "", "string", "x"));
}

TEST(PropertyStore, AValueIsReadOnlyWithItsOwnType) {
  PropertyStore store;
  store.Set(0, "User", "string", "tester");
  EXPECT_EQ(store.Get(0, "User", "string"), Json::Value("tester"));
  EXPECT_EQ(store.Get(0, "User", "int"), std::nullopt);
  EXPECT_EQ(store.Get(0, "Missing", "string"), std::nullopt);
}

TEST(PropertyStore, SessionsFallBackToTheRuntimeAndForgetTheirValues) {
  PropertyStore store;
  store.Set(0, "FrequentTelEventPid", "int", 42);
  EXPECT_EQ(store.Get(7, "FrequentTelEventPid", "int"), Json::Value(42));
  store.Set(7, "FrequentTelEventPid", "int", 9);
  EXPECT_EQ(store.Get(7, "FrequentTelEventPid", "int"), Json::Value(9));
  EXPECT_EQ(store.Get(8, "FrequentTelEventPid", "int"), Json::Value(42));
  Session session;
  session.id = 7;
  store.OnSessionDestroyed(session);
  EXPECT_EQ(store.Get(7, "FrequentTelEventPid", "int"), Json::Value(42));
}

TEST(PropertyStore, RuntimeSettingsWithFallbacks) {
  PropertyStore store;
  EXPECT_FALSE(store.RuntimeBool("FakeIADEnabled", false));
  EXPECT_FLOAT_EQ(store.RuntimeFloat("FakeIAD", 0.064f), 0.064f);
  EXPECT_EQ(store.RuntimeInt("FrequentTelEventPid", 0), 0);
  store.Set(0, "FakeIADEnabled", "bool", true);
  store.Set(0, "FakeIAD", "float", 0.07);
  store.Set(3, "FakeIAD", "float", 0.09);
  store.Set(0, "FrequentTelEventPid", "float", 3.0);
  EXPECT_EQ(store.RuntimeInt("FrequentTelEventPid", -1), -1);
  store.Set(0, "FrequentTelEventPid", "int", 4242);
  store.Set(3, "FrequentTelEventPid", "int", 1);
  EXPECT_TRUE(store.RuntimeBool("FakeIADEnabled", false));
  EXPECT_FLOAT_EQ(store.RuntimeFloat("FakeIAD", 0.064f), 0.07f);
  EXPECT_EQ(store.RuntimeInt("FrequentTelEventPid", 0), 4242);
}

}  // namespace
}  // namespace luxsim
