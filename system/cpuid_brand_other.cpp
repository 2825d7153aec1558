// Processors without cpuid (ARM, RISC-V, ...): the probe names them from /proc/cpuinfo and the
// device tree instead.
#include "system/cpuid_brand.h"

std::string cpuid_brand() { return {}; }
