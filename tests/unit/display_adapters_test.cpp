#include "platform/display_adapters.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/machine_prefix.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

// The adapters are the DRM cards under the machine prefix, by number, with the LUIDs of their
// devices; connectors and render nodes are no adapters.
TEST(DisplayAdapters, TheCardsInTheOrderOfTheirNumbersIdentifiedByTheirDevices) {
  const testsupport::ScopedMachinePrefix machine;
  const fs::path sys = fs::path(machine.Path()) / "sys";
  std::optional<DisplayAdapterFactory> factory;
  EXPECT_EQ(DisplayAdapterFactory::Create(factory), static_cast<int32_t>(0x80070002));  // ENOENT
  fs::create_directories(sys / "class/drm/card0-HDMI-A-1");
  fs::create_directories(sys / "class/drm/renderD128");
  const char* cards[] = {"card0", "card2", "card10"};
  for (int i = 0; i < 3; ++i) {
    const std::string device = "devices/0000:0" + std::to_string(i) + ":00.0";
    fs::create_directories(sys / device);
    fs::create_directories(sys / "class/drm" / cards[i]);
    fs::create_symlink("../../../" + device, sys / "class/drm" / cards[i] / "device");
  }
  AdapterLuid luids[3], none;
  ASSERT_EQ(DisplayAdapterFactory::Create(factory), 0);
  for (uint32_t i = 0; i < 3; ++i) ASSERT_EQ(factory->AdapterLuidAt(i, luids[i]), 0);
  EXPECT_EQ(factory->AdapterLuidAt(3, none), kDxgiErrorNotFound);
  EXPECT_FALSE(luids[0] == luids[1] || luids[1] == luids[2] || luids[0] == luids[2]);

  // card10 becomes card1: it keeps its device's LUID and now comes before card2.
  fs::rename(sys / "class/drm/card10", sys / "class/drm/card1");
  ASSERT_EQ(DisplayAdapterFactory::Create(factory), 0);
  AdapterLuid luid;
  ASSERT_EQ(factory->AdapterLuidAt(1, luid), 0);
  EXPECT_EQ(luid, luids[2]);
}

}  // namespace
}  // namespace platform
