// Adapters from the DRM devices in /sys/class/drm, named through the PCI ID database.
// libpci's header has no C++ linkage block of its own.
extern "C" {
#include <pci/pci.h>
}
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "system/graphics_linux.h"
#include "system/proc_parsers.h"

namespace {

std::string read_small_file(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// libpci prints warnings about its database to stderr; the probe stays silent.
void ignore_message(char*, ...) {}

std::string pci_name(unsigned vendor, unsigned device) {
  pci_access* pci = pci_alloc();
  if (!pci) return {};
  // pci_init() would fill in these handlers, but it exits the process when no PCI access
  // method works (containers); name look-ups need no access method, only the handlers.
  pci->warning = ignore_message;
  pci->debug = ignore_message;
  char buffer[256] = {};
  // The ID file alone: libpci does not free the udev handle it opens for hardware-database
  // look-ups.
  const int flags = PCI_LOOKUP_VENDOR | PCI_LOOKUP_DEVICE | PCI_LOOKUP_NO_HWDB;
  const char* name = pci_lookup_name(pci, buffer, sizeof buffer, flags, vendor, device);
  std::string result = name ? name : "";
  pci_cleanup(pci);
  return result;
}

}  // namespace

std::vector<GraphicsAdapter> drm_graphics_adapters(const std::string& drm_class_dir) {
  namespace fs = std::filesystem;
  std::vector<std::pair<std::uint64_t, fs::path>> cards;
  std::error_code ec;
  for (fs::directory_iterator it(drm_class_dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    // "card0" is a device; "card0-HDMI-A-1" a connector and "renderD128" the same device again.
    if (name.rfind("card", 0) != 0) continue;
    if (const auto n = parse_unsigned(name.substr(4))) cards.emplace_back(*n, it->path());
  }
  std::sort(cards.begin(), cards.end());

  std::vector<GraphicsAdapter> adapters;
  for (const auto& [number, card] : cards) {
    const fs::path device = card / "device";
    std::error_code link_error;
    const std::string driver = fs::read_symlink(device / "driver", link_error).filename().string();
    GraphicsAdapter a;
    a.kind = drm_driver_kind(driver);
    const auto vendor = parse_hex(read_small_file(device / "vendor"));
    const auto id = parse_hex(read_small_file(device / "device"));
    if (vendor && id && *vendor <= 0xFFFF && *id <= 0xFFFF)
      a.name = pci_name(static_cast<unsigned>(*vendor), static_cast<unsigned>(*id));
    if (a.name.empty()) a.name = driver;
    a.dedicated_bytes = parse_unsigned(read_small_file(device / "mem_info_vram_total")).value_or(0);
    adapters.push_back(std::move(a));
  }
  return adapters;
}
