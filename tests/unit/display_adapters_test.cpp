#include "platform/display_adapters.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/machine_prefix.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

// The display adapters are the DRM cards sysfs lists under the machine prefix, by number; an
// adapter's LUID follows the device behind its card.
TEST(DisplayAdapters, TheCardsInTheOrderOfTheirNumbersIdentifiedByTheirDevices) {
  const testsupport::ScopedMachinePrefix machine;
  const fs::path sys = fs::path(machine.Path()) / "sys";
  const fs::path drm = sys / "class/drm";
  std::optional<DisplayAdapterFactory> factory;
  EXPECT_EQ(DisplayAdapterFactory::Create(factory), static_cast<int32_t>(0x80070002));  // ENOENT
  EXPECT_FALSE(factory);

  for (const char* name : {"card0", "card2", "card10", "card0-HDMI-A-1", "renderD128"}) {
    fs::create_directories(drm / name);
  }
  const char* devices[] = {"0000:01:00.0", "0000:02:00.0", "0000:03:00.0"};
  for (int i = 0; i < 3; ++i) {
    fs::create_directories(sys / "devices" / devices[i]);
    const char* card = i == 0 ? "card0" : i == 1 ? "card2" : "card10";
    fs::create_symlink(fs::path("../../../devices") / devices[i], drm / card / "device");
  }
  ASSERT_EQ(DisplayAdapterFactory::Create(factory), 0);
  AdapterLuid first, second, third, none;
  ASSERT_EQ(factory->AdapterLuidAt(0, first), 0);
  ASSERT_EQ(factory->AdapterLuidAt(1, second), 0);
  ASSERT_EQ(factory->AdapterLuidAt(2, third), 0);
  EXPECT_EQ(factory->AdapterLuidAt(3, none), kDxgiErrorNotFound);
  EXPECT_FALSE(first == second || second == third || first == third);

  // card10 becomes card1: its device keeps its LUID, and it now comes before card2.
  fs::rename(drm / "card10", drm / "card1");
  ASSERT_EQ(DisplayAdapterFactory::Create(factory), 0);
  AdapterLuid luid;
  ASSERT_EQ(factory->AdapterLuidAt(1, luid), 0);
  EXPECT_EQ(luid, third);
  ASSERT_EQ(factory->AdapterLuidAt(2, luid), 0);
  EXPECT_EQ(luid, second);
}

}  // namespace
}  // namespace platform
