#include "platform/registry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/system_error.h"
#include "support/machine_prefix.h"

namespace platform {
namespace {

constexpr char kKey[] = "Software\\Wow6432Node\\Corvia VR, LLC\\Corvia\\";

TEST(MachineRegistry, StringValuesAreFilesOfTheKeysFolders) {
  testsupport::ScopedMachinePrefix prefix;
  const std::string key =
      prefix.Path() +
      "/etc/corvia/registry/HKEY_LOCAL_MACHINE/Software/Wow6432Node/Corvia VR, LLC/Corvia/";
  std::filesystem::create_directories(key + "Folder");
  std::ofstream(key + "Base") << "C:/Corvia/\n";
  std::ofstream(key + "Binary") << std::string("a\0b", 3);

  EXPECT_EQ(ReadMachineRegistryString(kKey, "Base", 100), "C:/Corvia/");
  EXPECT_EQ(ReadMachineRegistryString("Software\\Wow6432Node\\Corvia VR, LLC\\Corvia", "Base", 10),
            "C:/Corvia/");
  const std::pair<const char*, uint32_t> refused[] = {
      {"Missing", ENOENT}, {"Folder", EINVAL}, {"Binary", EINVAL}, {"..", ENOENT}};
  for (const auto& [value, error] : refused) {
    EXPECT_FALSE(ReadMachineRegistryString(kKey, value, 100)) << value;
    EXPECT_EQ(LastErrorCode(), error) << value;
  }
  EXPECT_FALSE(ReadMachineRegistryString(kKey, "Base", 9));
  EXPECT_EQ(LastErrorCode(), static_cast<uint32_t>(EOVERFLOW));
  EXPECT_FALSE(ReadMachineRegistryString("Software\\..\\Corvia", "Base", 100));
}

}  // namespace
}  // namespace platform
