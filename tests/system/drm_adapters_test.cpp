// The DRM fallback of the graphics query on a captured /sys/class/drm tree: device entries
// only, PCI names from the ID database, memory where the driver gives it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "system/graphics_linux.h"
#include "tests/support/test_processes.h"

namespace {

namespace fs = std::filesystem;

void card(const TempDir& root, const std::string& name, const std::string& driver, const std::string& vendor,
          const std::string& device, const std::string& vram) {
  const fs::path dev = fs::path(root.path()) / "devices" / name;
  fs::create_directories(dev);
  fs::create_directories(fs::path(root.path()) / "drivers" / driver);
  fs::create_directory_symlink(fs::path(root.path()) / "drivers" / driver, dev / "driver");
  if (!vendor.empty()) write_file((dev / "vendor").string(), vendor);
  if (!device.empty()) write_file((dev / "device").string(), device);
  if (!vram.empty()) write_file((dev / "mem_info_vram_total").string(), vram);
  fs::create_directories(fs::path(root.path()) / "drm" / name);
  fs::create_directory_symlink(dev, fs::path(root.path()) / "drm" / name / "device");
}

TEST(DrmAdapters, ListsCardsInNumberOrderWithPciNamesAndTheirMemory) {
  TempDir root;
  card(root, "card10", "amdgpu", "0x1002\n", "0x744c\n", "17163091968\n");
  card(root, "card1", "nvidia", "0x10de\n", "0x2484\n", "");
  card(root, "card0", "virtio_gpu", "", "", "");
  fs::create_directories(fs::path(root.path()) / "drm" / "card1-HDMI-A-1");
  fs::create_directories(fs::path(root.path()) / "drm" / "renderD128");

  const auto adapters = drm_graphics_adapters(root.file("drm"));
  ASSERT_EQ(adapters.size(), 3u);
  EXPECT_EQ(adapters[0].name, "virtio_gpu");
  EXPECT_EQ(adapters[0].kind, AdapterKind::Virtual);
  EXPECT_NE(adapters[1].name.find("NVIDIA"), std::string::npos) << adapters[1].name;
  EXPECT_EQ(adapters[1].dedicated_bytes, 0u);
  EXPECT_EQ(adapters[1].kind, AdapterKind::Unknown);
  EXPECT_EQ(adapters[2].dedicated_bytes, 17163091968u);

  const auto chosen = select_graphics_adapter(adapters);
  ASSERT_TRUE(chosen);
  EXPECT_EQ(*chosen, 2u);
}

TEST(DrmAdapters, AMachineWithoutDrmDevicesHasNoAdapter) {
  TempDir root;
  EXPECT_TRUE(drm_graphics_adapters(root.file("missing")).empty());
}

}  // namespace
