#pragma once
// Asking the leaderboard where a score stands: the request for one processor's distribution of a
// kind, and what became of it. Only the processor's name and the kind are sent, never the score.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run_kind.h"
#include "leaderboard_client/leaderboard_settings.h"
#include "leaderboard_client/score_comparison.h"

// The one route the client asks for a distribution: /cpu.json with distribution=1. A server of an
// earlier version ignores the flag and answers its processor page, which has no "buckets".
inline constexpr std::string_view kDistributionRoute = "/cpu.json";

// "/cpu.json?kind=multi&name=Example%20CPU&distribution=1": the name percent-encoded byte by byte.
std::string distribution_path(RunKind kind, std::string_view cpu);

// The placement, or why there is none (one line for the status line and the runner's JSON).
struct ComparisonOutcome {
  std::optional<ScoreComparison> comparison;
  std::string reason;
};

inline constexpr std::string_view kNoRunsYet = "No runs of this processor yet";
inline constexpr std::string_view kNoComparisons = "This leaderboard server does not offer comparisons";

// Fetches the distribution and places `score` in it. Without a usable leaderboard no request is
// made and the reason is the settings' unusable_reason. A 404 is a processor the board does not
// know; any other failure is named in the reason. Never raises.
ComparisonOutcome fetch_comparison(const LeaderboardSettings& settings, RunKind kind, const std::string& cpu,
                                   std::int32_t score);

// The reply of a 200 read into an outcome: the placement, kNoComparisons for a document without
// buckets (an earlier server's processor page), or read_distribution's reason.
ComparisonOutcome comparison_from_reply(std::string_view reply, RunKind kind, std::string_view cpu, std::int32_t score);

// The line under a low result: the run's own warnings (battery, background load, throttling) as
// its likely cause, else the usual causes. Empty for any verdict but low.
std::string low_result_causes(const ScoreComparison& comparison, const std::vector<std::string>& warning_texts);

// The outcome's one line: comparison_text, or the reason.
std::string comparison_outcome_text(const ComparisonOutcome& outcome);
