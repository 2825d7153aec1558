#include "system/arm_cpu_names.h"

#include <algorithm>
#include <cctype>

#include "system/proc_parsers.h"

namespace {

struct PartName {
  std::uint64_t implementer;
  std::uint64_t part;
  const char* name;
};

// The parts found in servers, boards and laptops that run Linux; the kernel's cputype.h lists them.
constexpr PartName kParts[] = {
    {0x41, 0xd03, "Cortex-A53"},      {0x41, 0xd04, "Cortex-A35"},   {0x41, 0xd05, "Cortex-A55"},
    {0x41, 0xd07, "Cortex-A57"},      {0x41, 0xd08, "Cortex-A72"},   {0x41, 0xd09, "Cortex-A73"},
    {0x41, 0xd0a, "Cortex-A75"},      {0x41, 0xd0b, "Cortex-A76"},   {0x41, 0xd0c, "Neoverse-N1"},
    {0x41, 0xd0d, "Cortex-A77"},      {0x41, 0xd0e, "Cortex-A76AE"}, {0x41, 0xd40, "Neoverse-V1"},
    {0x41, 0xd41, "Cortex-A78"},      {0x41, 0xd42, "Cortex-A78AE"}, {0x41, 0xd44, "Cortex-X1"},
    {0x41, 0xd46, "Cortex-A510"},     {0x41, 0xd47, "Cortex-A710"},  {0x41, 0xd48, "Cortex-X2"},
    {0x41, 0xd49, "Neoverse-N2"},     {0x41, 0xd4a, "Neoverse-E1"},  {0x41, 0xd4b, "Cortex-A78C"},
    {0x41, 0xd4d, "Cortex-A715"},     {0x41, 0xd4e, "Cortex-X3"},    {0x41, 0xd4f, "Neoverse-V2"},
    {0x41, 0xd80, "Cortex-A520"},     {0x41, 0xd81, "Cortex-A720"},  {0x41, 0xd82, "Cortex-X4"},
    {0x41, 0xd84, "Neoverse-V3"},     {0x41, 0xd8e, "Neoverse-N3"},  {0x42, 0x516, "ThunderX2"},
    {0x43, 0x0a1, "ThunderX"},        {0x43, 0x0af, "ThunderX2"},    {0x46, 0x001, "A64FX"},
    {0x48, 0xd01, "TaiShan-v110"},    {0x4e, 0x004, "Carmel"},       {0x51, 0x800, "Kryo-2xx-Gold"},
    {0x51, 0x801, "Kryo-2xx-Silver"}, {0x51, 0x001, "Oryon"},        {0x61, 0x022, "Icestorm"},
    {0x61, 0x023, "Firestorm"},       {0xc0, 0xac3, "Ampere-1"},     {0xc0, 0xac4, "Ampere-1a"},
};

struct Maker {
  std::string_view key;  // implementer number as text, or device tree vendor prefix
  const char* name;
};

constexpr struct {
  std::uint64_t implementer;
  const char* name;
} kImplementers[] = {
    {0x41, "ARM"},    {0x42, "Broadcom"}, {0x43, "Cavium"}, {0x46, "Fujitsu"},   {0x48, "HiSilicon"},
    {0x4e, "NVIDIA"}, {0x51, "Qualcomm"}, {0x61, "Apple"},  {0x6d, "Microsoft"}, {0xc0, "Ampere"},
};

constexpr Maker kVendors[] = {
    {"allwinner", "Allwinner"},
    {"amlogic", "Amlogic"},
    {"apple", "Apple"},
    {"brcm", "Broadcom"},
    {"fsl", "NXP"},
    {"nxp", "NXP"},
    {"mediatek", "MediaTek"},
    {"nvidia", "NVIDIA"},
    {"qcom", "Qualcomm"},
    {"rockchip", "Rockchip"},
    {"samsung", "Samsung"},
    {"starfive", "StarFive"},
    {"ti", "TI"},
    {"xlnx", "Xilinx"},
    {"hisilicon", "HiSilicon"},
    {"sprd", "Unisoc"},
};

std::string hex(std::uint64_t value, int digits) {
  static const char* const kDigits = "0123456789abcdef";
  std::string text;
  for (int i = digits - 1; i >= 0; --i) text += kDigits[(value >> (4 * i)) & 0xF];
  return "0x" + text;
}

}  // namespace

std::vector<ArmCore> cpuinfo_arm_cores(std::string_view cpuinfo) {
  std::vector<ArmCore> cores;
  // Each processor's block ends at a blank line.
  while (!cpuinfo.empty()) {
    std::size_t end = cpuinfo.find("\n\n");
    const std::string_view block = cpuinfo.substr(0, end);
    cpuinfo = end == std::string_view::npos ? std::string_view{} : cpuinfo.substr(end + 2);
    const auto implementer = cpuinfo_value(block, "CPU implementer");
    const auto part = cpuinfo_value(block, "CPU part");
    if (!implementer || !part) continue;
    const auto i = parse_hex(*implementer);
    const auto p = parse_hex(*part);
    if (i && p) cores.push_back(ArmCore{*i, *p});
  }
  return cores;
}

std::string arm_core_name(const ArmCore& core) {
  for (const PartName& p : kParts)
    if (p.implementer == core.implementer && p.part == core.part) return p.name;
  return hex(core.implementer, 2) + "/" + hex(core.part, 3);
}

std::string arm_implementer_name(std::uint64_t implementer) {
  for (const auto& i : kImplementers)
    if (i.implementer == implementer) return i.name;
  return {};
}

std::string device_tree_soc_name(std::string_view compatible) {
  // The most specific entry is the board, the last the chip.
  while (!compatible.empty() && compatible.back() == '\0') compatible.remove_suffix(1);
  const auto last_nul = compatible.rfind('\0');
  const std::string_view chip = last_nul == std::string_view::npos ? compatible : compatible.substr(last_nul + 1);
  const auto comma = chip.find(',');
  if (comma == std::string_view::npos || comma == 0 || comma + 1 >= chip.size()) return {};
  const std::string_view vendor = chip.substr(0, comma);
  std::string model(chip.substr(comma + 1));
  std::transform(model.begin(), model.end(), model.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  for (const Maker& m : kVendors)
    if (m.key == vendor) return std::string(m.name) + " " + model;
  return std::string(vendor) + " " + model;
}

std::string arm_processor_name(const std::string& soc, const std::vector<ArmCore>& cores) {
  std::vector<std::string> names;
  for (const ArmCore& core : cores) {
    std::string name = arm_core_name(core);
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(std::move(name));
  }
  if (names.empty()) return soc;
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : " + ") + name;
  if (!soc.empty()) return soc + " (" + joined + ")";
  const std::string maker = arm_implementer_name(cores.front().implementer);
  // "Ampere Ampere-1" says its maker twice.
  if (maker.empty() || joined.rfind(maker, 0) == 0) return joined;
  return maker + " " + joined;
}
