#pragma once
// The records GetLogicalProcessorInformationEx(RelationProcessorCore) returns, parsed from
// their bytes so the rules run, and are tested, on any platform. One record per physical core:
// its EfficiencyClass (higher is faster; 0 everywhere on a machine of one type), whether it runs
// SMT threads (LTP_PC_SMT; the parser counts the mask's processors instead, which says the same
// and more: 2, 4 or 8 threads), and its processors as (group, mask) pairs.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "system/cpu_topology.h"

// The layout of SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX for a processor core on 64-bit Windows,
// checked against the system header in cpu_topology_windows.cpp.
namespace core_record {
inline constexpr std::size_t kRelationship = 0;  // DWORD; RelationProcessorCore is 0
inline constexpr std::size_t kSize = 4;          // DWORD: this record's bytes
inline constexpr std::size_t kFlags = 8;         // BYTE: LTP_PC_SMT (1) with SMT threads
inline constexpr std::size_t kEfficiencyClass = 9;
inline constexpr std::size_t kGroupCount = 30;         // WORD
inline constexpr std::size_t kGroupMasks = 32;         // GROUP_AFFINITY[GroupCount]
inline constexpr std::size_t kGroupAffinitySize = 16;  // KAFFINITY Mask, WORD Group, WORD[3]
inline constexpr std::size_t kGroupInAffinity = 8;
}  // namespace core_record

// Every core record of the buffer, other relationships skipped. Nothing when a record's size
// runs past the buffer or cannot hold what it claims: a short or garbled buffer is no topology.
std::optional<CpuTopology> parse_processor_core_records(std::span<const std::uint8_t> buffer, CoreNaming naming);
