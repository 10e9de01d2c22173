#include "platform/shared_section.h"

#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

namespace platform {
namespace {

OwnedHandle Duplicate(const OwnedHandle& handle) {
  return OwnedHandle(dup(static_cast<int>(handle.Get())));
}

TEST(SharedSection, StartsZeroedAndIsSharedThroughItsHandle) {
  std::optional<SharedSection> section = SharedSection::Create(8192);
  ASSERT_TRUE(section);
  const std::span<uint8_t> memory = section->Memory();
  ASSERT_EQ(memory.size(), 8192u);
  EXPECT_TRUE(std::all_of(memory.begin(), memory.end(), [](uint8_t b) { return b == 0; }));
  std::optional<SharedSection> other = SharedSection::Open(Duplicate(section->Handle()), 8192);
  ASSERT_TRUE(other);
  EXPECT_NE(other->Memory().data(), memory.data());
  memory[8191] = 0x5A;
  EXPECT_EQ(other->Memory()[8191], 0x5A);
  SharedSection moved = std::move(*other);
  EXPECT_EQ(moved.Memory()[8191], 0x5A);
  EXPECT_TRUE(other->Memory().empty());
}

TEST(SharedSection, OpensOnlySealedSectionsOfTheExpectedSize) {
  std::optional<SharedSection> section = SharedSection::Create(4096);
  ASSERT_TRUE(section);
  EXPECT_FALSE(SharedSection::Open(Duplicate(section->Handle()), 8192));
  EXPECT_FALSE(SharedSection::Open(Duplicate(section->Handle()), 0));
  // A memory file whose size could still change.
  OwnedHandle unsealed(memfd_create("unsealed", MFD_CLOEXEC));
  ASSERT_EQ(ftruncate(static_cast<int>(unsealed.Get()), 4096), 0);
  EXPECT_FALSE(SharedSection::Open(std::move(unsealed), 4096));
  EXPECT_FALSE(SharedSection::Open(OwnedHandle(eventfd(0, EFD_CLOEXEC)), 4096));
  EXPECT_FALSE(SharedSection::Open(OwnedHandle(), 4096));
  EXPECT_FALSE(SharedSection::Create(0));
}

}  // namespace
}  // namespace platform
