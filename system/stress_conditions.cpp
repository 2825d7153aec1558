#include "system/stress_conditions.h"

#include <algorithm>
#include <cstdio>

void merge_run_warnings(std::vector<RunWarning>& all, const std::vector<RunWarning>& more) {
  for (const RunWarning& warning : more) {
    const bool known = std::any_of(all.begin(), all.end(), [&](const RunWarning& w) { return w.code == warning.code; });
    if (!known) all.push_back(warning);
  }
}

std::optional<RunWarning> clock_fell_between_passes(std::span<const StressPass> passes) {
  if (passes.empty() || !passes.front().sensors.clock_mhz_avg) return std::nullopt;
  const double first = *passes.front().sensors.clock_mhz_avg;
  for (const StressPass& pass : passes) {
    if (pass.sensors.clock_mhz_avg && *pass.sensors.clock_mhz_avg < 0.8 * first) {
      char text[160];
      std::snprintf(text, sizeof text,
                    "The clock fell from %.2f GHz in the first pass to %.2f GHz in a later one: the processor "
                    "throttled.",
                    first / 1000.0, *pass.sensors.clock_mhz_avg / 1000.0);
      return RunWarning{RunWarningCode::Throttling, text};
    }
  }
  return std::nullopt;
}
