#pragma once
// Names for 64-bit ARM processors, whose /proc/cpuinfo has no "model name". A processor is
// named by its chip, not its board: the board's model and revision would split one chip's
// leaderboard row. The chip comes from the device tree's "compatible" list where there is one;
// the cores from their implementer and part numbers.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct ArmCore {
  std::uint64_t implementer = 0;
  std::uint64_t part = 0;
  friend bool operator==(const ArmCore&, const ArmCore&) = default;
};

// "CPU implementer" and "CPU part" of each processor block of /proc/cpuinfo that has both.
std::vector<ArmCore> cpuinfo_arm_cores(std::string_view cpuinfo);

// The core's name from a table of common parts (0x41/0xd0c is "Neoverse-N1"), or
// "0x41/0xd99" for a part the table does not know.
std::string arm_core_name(const ArmCore& core);
// The implementer's name (0x41 is "ARM"), or empty.
std::string arm_implementer_name(std::uint64_t implementer);

// The chip of a device tree "compatible" list (NUL-separated, board first, chip last), such
// as "Rockchip RK3588" for "radxa,rock-5b\0rockchip,rk3588\0"; empty when there is none.
std::string device_tree_soc_name(std::string_view compatible);

// "<chip> (<core> + <core>)" with the distinct core names in the order the processors list
// them, or "<implementer> <core>" without a chip; empty without cores.
std::string arm_processor_name(const std::string& soc, const std::vector<ArmCore>& cores);
