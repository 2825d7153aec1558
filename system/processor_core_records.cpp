#include "system/processor_core_records.h"

#include <cstring>

namespace {

template <typename T>
T read(std::span<const std::uint8_t> bytes, std::size_t offset) {
  T value{};
  std::memcpy(&value, bytes.data() + offset, sizeof value);  // little-endian, as Windows is
  return value;
}

}  // namespace

std::optional<CpuTopology> parse_processor_core_records(std::span<const std::uint8_t> buffer, CoreNaming naming) {
  using namespace core_record;
  std::vector<LogicalProcessor> processors;
  std::uint32_t core = 0;
  for (std::size_t at = 0; at < buffer.size();) {
    if (buffer.size() - at < kGroupMasks) return std::nullopt;
    const auto record = buffer.subspan(at);
    const auto size = read<std::uint32_t>(record, kSize);
    if (size < kGroupMasks || size > record.size()) return std::nullopt;
    at += size;
    if (read<std::uint32_t>(record, kRelationship) != 0) continue;
    const auto groups = read<std::uint16_t>(record, kGroupCount);
    if (kGroupMasks + std::size_t{groups} * kGroupAffinitySize > size) return std::nullopt;
    const std::uint8_t efficiency = record[kEfficiencyClass];
    for (std::uint16_t g = 0; g < groups; ++g) {
      const std::size_t entry = kGroupMasks + g * kGroupAffinitySize;
      const auto mask = read<std::uint64_t>(record, entry);
      const auto group = read<std::uint16_t>(record, entry + kGroupInAffinity);
      for (unsigned bit = 0; bit < 64; ++bit) {
        if (((mask >> bit) & 1u) == 0) continue;
        LogicalProcessor p;
        p.id = group * 64u + bit;
        p.core = core;
        p.speed_class = efficiency;
        processors.push_back(p);
      }
    }
    ++core;
  }
  return make_cpu_topology(std::move(processors), naming);
}
