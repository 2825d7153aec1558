#pragma once
// One processor's scores summarised in a bounded size: in log-spaced buckets, each bucket's run
// count, sum, lowest and highest score. A summary grows by one run or by another summary, so
// a store can keep it up to date as runs arrive instead of reading every run for every board.
//
// Contents: the bucket scale; the histogram; percentiles and the spread; the ranking average.

#include "leaderboard_server/rules/percentiles.h"

#include <cstdint>
#include <limits>
#include <vector>

// ---- the bucket scale --------------------------------------------------------------------------
// Bucket 0 starts at score 1; each next bucket starts max(1, lower / 100) points (integer division)
// after the one before, so buckets are one point wide below 200 and at most 1 % of their lower
// bound wide above it. The table is built once in integers: the same score falls in the same
// bucket on every machine and in every database, and a stored bucket index never changes meaning.

namespace score_scale {
constexpr long long next_lower_bound(long long lower) { return lower + (lower / 100 > 1 ? lower / 100 : 1); }
constexpr int count_buckets() {
  int n = 0;
  for (long long lower = 1; lower <= std::numeric_limits<std::int32_t>::max(); lower = next_lower_bound(lower)) ++n;
  return n;
}
}  // namespace score_scale

// Buckets from score 1 to INT32_MAX.
inline constexpr int kScoreBucketCount = score_scale::count_buckets();

// The bucket of a score of at least 1 (binary search in the table); -1 for anything below 1.
int score_bucket(int score);
// The lowest and highest score (both inclusive) of bucket `index`, 0 <= index < kScoreBucketCount.
int score_bucket_lower(int index);
int score_bucket_upper(int index);

// ---- the histogram -----------------------------------------------------------------------------

struct HistogramBucket {
  int index = 0;          // into the scale above
  std::int64_t runs = 0;  // at least 1: only buckets holding runs are kept
  std::int64_t sum = 0;   // of the runs' scores, so that a bucket's mean stands for its runs
  // The bucket's extremes: the histogram's exact min and max, and whether its runs are all equal.
  int lowest = 0;
  int highest = 0;
  bool operator==(const HistogramBucket&) const = default;
};

// Sums stay exact up to this many runs in one bucket (each score is below 2^31).
inline constexpr std::int64_t kMaxRunsPerBucket = std::numeric_limits<std::int64_t>::max() / 0x7fffffff;

class ScoreHistogram {
 public:
  ScoreHistogram() = default;

  // The stored form back: buckets in ascending index order. Raises std::invalid_argument naming
  // the fault for buckets no histogram can have (an index off the scale or out of order, no runs,
  // extremes outside the bucket, a sum its runs and extremes cannot give), so that a damaged row
  // is reported, never ranked.
  static ScoreHistogram from_buckets(std::vector<HistogramBucket> buckets);

  // Raises std::invalid_argument for a score below 1 and std::overflow_error for a bucket full to
  // kMaxRunsPerBucket; the histogram is then unchanged.
  void add(int score);
  // Adds every run of `other` (runs of another day, another instance's share).
  void merge(const ScoreHistogram& other);

  std::int64_t runs() const { return runs_; }
  int min() const { return buckets_.empty() ? 0 : buckets_.front().lowest; }  // 0 while empty
  int max() const { return buckets_.empty() ? 0 : buckets_.back().highest; }
  const std::vector<HistogramBucket>& buckets() const { return buckets_; }  // ascending index

  bool operator==(const ScoreHistogram&) const = default;

 private:
  std::vector<HistogramBucket> buckets_;
  std::int64_t runs_ = 0;
};

// ---- percentiles and the spread ------------------------------------------------------------------
// Nearest rank as `nearest_rank`, but the run at that rank is only known by its bucket: the answer
// is that bucket's mean (rounded), which lies in the same bucket as the exact percentile, so the
// two differ by less than one bucket width (1 %). Rank 1 and rank n give the exact min and max, and
// a bucket whose runs are equal gives the exact value.

// 0 for an empty histogram; `percent` from 0 to 100.
int histogram_percentile(const ScoreHistogram& histogram, int percent);
// min, p10, median, p90, max as `spread_of`; all zero when empty.
ScoreSpread histogram_spread(const ScoreHistogram& histogram);

// ---- the ranking average -------------------------------------------------------------------------
// `counted` holds a processor's counted runs only: at most kRunsCountedPerClient runs of each sender
// (its earliest; every run without a sender, every run at all when the limit is off). Which runs
// count is decided exactly by the store's per-(kind, processor, sender) run count; this function
// sees the histogram alone.
//
// The rule is `average_without_outliers` with each run standing at its bucket's mean: the median,
// the MAD (or 1.2533 x the mean absolute deviation when the MAD is 0) and the modified z-score
// threshold of 3.5 from at least 5 runs are taken over the bucket means, and a bucket is dropped
// or kept whole. One addition: when the bucket means give a MAD of 0 only because more than half
// the runs share the median's bucket, and that bucket's runs are not all equal, the MAD is taken
// as a quarter of their span (that of runs spread evenly over it). Without it three close runs in
// one bucket would make the rule fall back to the mean deviation and keep two throttled runs that
// the exact rule drops. The average is then the exact mean of the kept runs' scores (from the
// sums), rounded half away from zero.
//
// The difference from the exact rule is bucket-sized in the runs, not in the result:
// - When the runs of each bucket are equal (every score below 200, where buckets are one point
//   wide, or repeated scores) the result is identical to `average_without_outliers`.
// - Otherwise each run is judged as if moved to its bucket's mean, less than a bucket (1 %) away.
//   A run within about that distance of the threshold may be kept where the exact rule drops it,
//   or the other way round, and a bucket goes one way whole: a run 0.7 % off among equal runs in
//   its bucket stays, where the exact rule drops it. The exact rule itself jumps when one run
//   crosses its threshold by one point, so no bound on the result holds for every set of runs.
//   On runs spread as real ones are (a bell of +-1.5 % or +-6 %, one run in 20 far off; 10,000
//   samples of 1 to 80 runs each), the two averages differ by at most 1.6 %, and by more than
//   one bucket in 6 samples of the 20,000: the tests hold it to two buckets.
long long histogram_average(const ScoreHistogram& counted);
