#pragma once
// What the runner reports about a stress test: a line and a JSON object per pass, and the
// closing table and summary object.
#include <nlohmann/json.hpp>

#include <span>
#include <string>
#include <vector>

#include "engine/stress_test.h"
#include "system/run_conditions.h"

nlohmann::ordered_json stress_pass_json(std::int32_t number, const StressPass& pass);
// "pass 2: score 245, 489.80 s · Clock 2.10 GHz avg (min 2.00) · 71 °C max"
std::string stress_pass_text(std::int32_t number, const StressPass& pass);

// `custom` and `recorded` say, as for a run, whether the test had a reference and was stored.
nlohmann::ordered_json stress_summary_json(const StressSummary& summary, const std::vector<RunWarning>& warnings,
                                           bool custom, bool recorded);
// The table of passes, then the stability, drop, energy and verdict; for a wrong image the pass,
// the time and the temperature at which it went wrong instead.
std::string stress_summary_text(const StressSummary& summary, std::span<const StressPass> passes,
                                const std::vector<RunWarning>& warnings);
