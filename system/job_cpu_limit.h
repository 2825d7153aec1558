#pragma once
// A Windows job object's CPU rate limit as a processor count, the part a cgroup quota plays on
// Linux. Kept apart from the system calls so that it can be checked with made-up values; the
// flag values are those of JOBOBJECT_CPU_RATE_CONTROL_INFORMATION.
#include <cstdint>
#include <optional>

struct JobCpuRate {
  std::uint32_t control_flags = 0;
  std::uint32_t cpu_rate = 0;  // hard cap, and weight in the same field (1..9)
  std::uint16_t max_rate = 0;  // with min/max rates
};

inline constexpr std::uint32_t kJobCpuRateEnable = 0x1;
inline constexpr std::uint32_t kJobCpuRateWeightBased = 0x2;
inline constexpr std::uint32_t kJobCpuRateHardCap = 0x4;
inline constexpr std::uint32_t kJobCpuRateMinMax = 0x10;

// The processors a job lets run at once: the rate (in 1/10000 of the machine) times the
// machine's processors, rounded up, at least 1. nullopt without a cap: a weight or a minimum
// only shares the machine out under contention.
std::optional<std::uint32_t> job_rate_processors(const JobCpuRate& rate, std::uint32_t processors);
