#pragma once
// One processor's runs of one kind summarised in a size bounded by its score buckets, thread
// counts and days, never by its runs: what a store keeps up to date with every insert and what
// boards, processor pages and distributions are built from.

#include "leaderboard_server/rules/percentiles.h"
#include "leaderboard_server/rules/ranking.h"
#include "leaderboard_server/rules/score_histogram.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The runs of one UTC day, for the runs-over-time chart.
struct DayRuns {
  std::int64_t runs = 0;
  std::int64_t sum = 0;
  int lowest = 0;
  int highest = 0;
  bool operator==(const DayRuns&) const = default;
};

struct ProcessorSummary {
  std::string cpu;
  ScoreHistogram all;                   // every accepted run: the spread, the page's histogram, the distribution
  ScoreHistogram counted;               // the runs the average counts (at most N of each sender)
  std::map<int, std::int64_t> threads;  // runs per thread count
  std::map<std::string, DayRuns, std::less<>> days;  // "2026-01-31" -> that day's runs

  // Adds one run; `day` is the date part of its UTC time.
  void add(int score, int threads, std::string_view day, bool counts);
  bool operator==(const ProcessorSummary&) const = default;
};

// A board's row as the summary gives it: what ranking and the replies need, nothing per run.
struct ProcessorRow {
  std::string cpu;
  long long runs = 0;
  long long counted_runs = 0;  // the runs the average counts (the counted histogram's)
  long long avg_score = 0;
  ScoreSpread spread;
  std::vector<int> threads;  // distinct, ascending
  bool operator==(const ProcessorRow&) const = default;
};

ProcessorRow processor_row(const ProcessorSummary& summary);

// The date part of a stored time ("2026-01-31T12:00:00.000Z" -> "2026-01-31").
std::string_view day_of(std::string_view submitted_at);

// Summaries recomputed from stored runs (grouped by name, each name's runs oldest first), with at
// most `per_client` runs of one sender counted (its earliest; 0: all; runs without a sender each
// count): what the stores must hold after the same inserts. Ascending by name.
std::vector<ProcessorSummary> summarise_runs(std::span<const StoredScore> runs,
                                             std::size_t per_client = kRunsCountedPerClient);
