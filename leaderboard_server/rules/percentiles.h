#pragma once
// The spread of one processor's scores over every accepted run, outliers included.

#include <vector>

struct ScoreSpread {
  int min = 0;
  int p10 = 0;
  int median = 0;
  int p90 = 0;
  int max = 0;
  bool operator==(const ScoreSpread&) const = default;
};

// Nearest-rank percentile of ascending, non-empty `sorted`: the value at rank ceil(percent/100 * n),
// so the median (50) of an even count is the lower of the two middle runs.
int nearest_rank(const std::vector<int>& sorted, int percent);

// All zero for no scores.
ScoreSpread spread_of(std::vector<int> scores);
