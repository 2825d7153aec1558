#pragma once
// The processor's brand string as the processor itself reports it: processor code, not system
// code, so one file per instruction set (cpuid_brand_x86.cpp), chosen in CMake.
#include <string>

// The brand leaves of cpuid (0x80000002 to 0x80000004), up to the first zero byte; empty where
// the processor has no brand leaves or no cpuid at all (the probe then asks the system).
std::string cpuid_brand();
