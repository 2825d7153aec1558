#pragma once
// The runner's part of the comparison: which runs are compared, and how a placement reads in its
// report (a line after the submission line, and the "comparison" keys of its JSON).
#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

#include "leaderboard_client/comparison_request.h"
#include "system/run_conditions.h"
#include "verify/run_verdict.h"

// Why a run is not compared: a custom or wrong run, a restricted one (as for its submission; a
// run kept back only by its warnings is compared), or one of a series other than its median.
std::string not_compared_reason(const RunVerdict& verdict, bool in_series);

// "comparison": {runs, median, percentile, verdict} or null, and "comparison_reason": why there
// is none, or null when there is one. Without an outcome, `not_compared` is the reason.
void put_comparison_json(nlohmann::ordered_json& object, const std::optional<ComparisonOutcome>& outcome,
                         const std::string& not_compared);

// "  comparison: ...\n", and for a low result a line of its likely causes: the run's own
// `warnings`, else the usual ones. Nothing when no leaderboard is configured.
std::string comparison_lines(const ComparisonOutcome& outcome, const std::vector<RunWarning>& warnings);
