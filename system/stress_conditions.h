#pragma once
// The conditions of a whole stress test, gathered alike by the runner and the window: each pass's
// warnings once, and throttling that only shows between passes.
#include <optional>
#include <span>
#include <vector>

#include "engine/stress_test.h"
#include "system/run_conditions.h"

// Adds each warning of `more` whose code `all` lacks: a test names a condition as the first pass
// that met it said it.
void merge_run_warnings(std::vector<RunWarning>& all, const std::vector<RunWarning>& more);

// A later pass's mean clock below 80 % of the first pass's, the share a run's rule uses: each pass
// may be steady on its own while the machine slows from one to the next.
std::optional<RunWarning> clock_fell_between_passes(std::span<const StressPass> passes);
