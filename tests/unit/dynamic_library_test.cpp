#include "platform/dynamic_library.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

namespace platform {
namespace {

TEST(LoadedModule, ResolvesExportsOfALoadedLibrary) {
  LoadedModule math = LoadedModule::Load("libm.so.6");
  ASSERT_TRUE(math);
  using Cosine = double (*)(double);
  const auto cosine = reinterpret_cast<Cosine>(math.ProcAddress("cos"));
  ASSERT_NE(cosine, nullptr);
  EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
  EXPECT_EQ(math.ProcAddress("no_such_export_anywhere"), nullptr);
}

TEST(LoadedModule, MissingLibraryGivesAnEmptyModule) {
  const LoadedModule missing = LoadedModule::Load("/nonexistent/libnothing.so");
  EXPECT_FALSE(missing);
  EXPECT_EQ(missing.ProcAddress("cos"), nullptr);
}

TEST(LoadedModule, OwnershipMovesAndFreeEmpties) {
  LoadedModule first = LoadedModule::Load("libm.so.6");
  ASSERT_TRUE(first);
  LoadedModule second = std::move(first);
  EXPECT_FALSE(first);
  EXPECT_TRUE(second);
  second.Free();
  EXPECT_FALSE(second);
  EXPECT_EQ(second.ProcAddress("cos"), nullptr);
}

}  // namespace
}  // namespace platform
