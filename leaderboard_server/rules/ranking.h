#pragma once
// The rules a board ranks by: a processor's average over the runs that count, without outliers,
// and the order of rows. build_board (board.h) applies them.

#include <cstddef>
#include <span>
#include <string>
#include <vector>

struct StoredScore {
  std::string cpu_name;
  int score = 0;
  int threads = 0;
  std::string submitted_at;  // UTC, 2026-01-31T12:00:00.000Z: text order is time order
  std::string client = {};   // keyed hash of the sender's address; empty for runs stored before it was kept
};

struct RankedRow {
  std::string cpu;
  long long avg_score = 0;
  long long runs = 0;
};

// Leaderboard order: avg_score descending, then runs descending, then name in byte order.
bool ranks_before(const RankedRow& a, const RankedRow& b);

// Runs of one processor are judged for outliers only from this many on.
inline constexpr std::size_t kOutlierMinRuns = 5;
inline constexpr double kOutlierThreshold = 3.5;

// At most this many runs of one sender count in a processor's average (its earliest ones), so that
// one address cannot move a row however often it submits. Runs without a sender each count.
inline constexpr std::size_t kRunsCountedPerClient = 3;

// Which of one processor's scores are outliers (same order as `scores`).
std::vector<bool> find_outliers(const std::vector<int>& scores);

// Mean of the scores not flagged as outliers, rounded half away from zero.
long long average_without_outliers(const std::vector<int>& scores);

// Average of one processor's runs over those that count: at most `per_client` of one sender (its
// earliest), every run when `per_client` is 0 (a LAN event, where everyone shares one address).
long long counted_average(std::span<const StoredScore> runs, std::size_t per_client);

// How many of one processor's runs count in its average, by the same rule: a row built on few of
// them is marked as uncertain wherever a board is shown.
long long counted_run_count(std::span<const StoredScore> runs, std::size_t per_client);
