// x86 and x86-64, on every system: GCC's <cpuid.h> wraps the instruction for both.
#include "system/cpuid_brand.h"

#include <cpuid.h>

#include <cstring>

std::string cpuid_brand() {
  if (static_cast<unsigned>(__get_cpuid_max(0x80000000u, nullptr)) < 0x80000004u) return {};
  char brand[49] = {};
  for (unsigned leaf = 0; leaf < 3; ++leaf) {
    unsigned regs[4] = {};
    __get_cpuid(0x80000002u + leaf, &regs[0], &regs[1], &regs[2], &regs[3]);  // eax, ebx, ecx, edx
    std::memcpy(brand + 16 * leaf, regs, sizeof regs);
  }
  return std::string(brand);  // up to the first zero byte
}
