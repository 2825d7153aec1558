#pragma once
// The x86 core-type leaves: Intel's 0x1A on hybrid parts, AMD's 0x80000026 on parts with
// performance and dense cores. Each answers for the processor that executes it, so a caller
// asks on a thread bound to the processor it wants to know about.
#include <cstdint>
#include <optional>

enum class CpuidCoreType { performance, efficiency };

// Leaf 0x1A's EAX: 0x40 in bits 31..24 is a Core (performance) core, 0x20 an Atom one.
std::optional<CpuidCoreType> intel_core_type(std::uint32_t leaf_1a_eax);
// Leaf 0x80000026 sub-leaf 0: EAX bit 30 says the cores differ; EBX bits 31..28 are the type
// (0 performance, 1 efficiency).
std::optional<CpuidCoreType> amd_core_type(std::uint32_t eax, std::uint32_t ebx);

// Whether this processor's vendor leaves say its cores differ in type (Intel's hybrid flag,
// AMD's heterogeneous-cores flag); false off x86.
bool cpuid_reports_core_types();
// The type of the processor the calling thread runs on; nothing off x86 or where the leaves
// are absent.
std::optional<CpuidCoreType> this_processor_core_type();
