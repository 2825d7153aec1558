#pragma once
// Made-up GetLogicalProcessorInformationEx(RelationProcessorCore) buffers, for the rules that
// read them on any platform and for the runs placed by them under wine.
#include <cstdint>
#include <cstring>
#include <vector>

#include "system/processor_core_records.h"

// One RelationProcessorCore record as Windows lays it out.
inline void add_core(std::vector<std::uint8_t>& buffer, std::uint8_t efficiency, std::uint16_t group,
                     std::uint64_t mask) {
  using namespace core_record;
  std::vector<std::uint8_t> record(kGroupMasks + kGroupAffinitySize, 0);
  const std::uint32_t size = static_cast<std::uint32_t>(record.size());
  const std::uint16_t groups = 1;
  std::memcpy(&record[kSize], &size, 4);
  record[kFlags] = __builtin_popcountll(mask) > 1 ? 1 : 0;
  record[kEfficiencyClass] = efficiency;
  std::memcpy(&record[kGroupCount], &groups, 2);
  std::memcpy(&record[kGroupMasks], &mask, 8);
  std::memcpy(&record[kGroupMasks + kGroupInAffinity], &group, 2);
  buffer.insert(buffer.end(), record.begin(), record.end());
}
