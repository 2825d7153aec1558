// x86 processor code, compiled on every platform; elsewhere the queries answer nothing.
#include "system/cpuid_core_type.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define STRELVIK_HAS_CPUID 1
#endif

namespace {

constexpr std::uint32_t kAmdHeterogeneousFlag = 1u << 30;  // leaf 0x80000026, EAX

#ifdef STRELVIK_HAS_CPUID
constexpr std::uint32_t kIntelHybridFlag = 1u << 15;  // leaf 7 sub-leaf 0, EDX

struct Registers {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
};

// Nothing when the leaf is beyond the processor's highest of its range.
std::optional<Registers> cpuid(unsigned leaf, unsigned subleaf) {
  if (static_cast<unsigned>(__get_cpuid_max(leaf & 0x80000000u, nullptr)) < leaf) return std::nullopt;
  Registers r;
  __cpuid_count(leaf, subleaf, r.eax, r.ebx, r.ecx, r.edx);
  return r;
}

bool intel_hybrid() {
  const auto leaf7 = cpuid(7, 0);
  return leaf7 && (leaf7->edx & kIntelHybridFlag) != 0 && cpuid(0x1A, 0).has_value();
}

bool amd_heterogeneous() {
  const auto leaf = cpuid(0x80000026u, 0);
  return leaf && (leaf->eax & kAmdHeterogeneousFlag) != 0;
}
#endif

}  // namespace

std::optional<CpuidCoreType> intel_core_type(std::uint32_t leaf_1a_eax) {
  switch (leaf_1a_eax >> 24) {
    case 0x40: return CpuidCoreType::performance;
    case 0x20: return CpuidCoreType::efficiency;
    default: return std::nullopt;
  }
}

std::optional<CpuidCoreType> amd_core_type(std::uint32_t eax, std::uint32_t ebx) {
  if ((eax & kAmdHeterogeneousFlag) == 0) return std::nullopt;
  switch (ebx >> 28) {
    case 0: return CpuidCoreType::performance;
    case 1: return CpuidCoreType::efficiency;
    default: return std::nullopt;
  }
}

bool cpuid_reports_core_types() {
#ifdef STRELVIK_HAS_CPUID
  return intel_hybrid() || amd_heterogeneous();
#else
  return false;
#endif
}

std::optional<CpuidCoreType> this_processor_core_type() {
#ifdef STRELVIK_HAS_CPUID
  if (intel_hybrid()) return intel_core_type(cpuid(0x1A, 0)->eax);
  if (const auto leaf = cpuid(0x80000026u, 0)) return amd_core_type(leaf->eax, leaf->ebx);
#endif
  return std::nullopt;
}
