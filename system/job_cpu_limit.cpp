#include "system/job_cpu_limit.h"

std::optional<std::uint32_t> job_rate_processors(const JobCpuRate& rate, std::uint32_t processors) {
  if (!(rate.control_flags & kJobCpuRateEnable) || (rate.control_flags & kJobCpuRateWeightBased)) return std::nullopt;
  std::uint64_t cap = 0;
  if (rate.control_flags & kJobCpuRateHardCap)
    cap = rate.cpu_rate;
  else if (rate.control_flags & kJobCpuRateMinMax)
    cap = rate.max_rate;
  if (cap == 0 || cap >= 10000) return std::nullopt;  // no cap, or the whole machine
  const std::uint64_t count = (cap * processors + 9999) / 10000;
  return static_cast<std::uint32_t>(count == 0 ? 1 : count);
}
