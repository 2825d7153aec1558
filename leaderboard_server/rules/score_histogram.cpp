#include "leaderboard_server/rules/score_histogram.h"

#include "leaderboard_server/rules/ranking.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <string>

namespace {

constexpr std::array<int, kScoreBucketCount> kLowerBounds = [] {
  std::array<int, kScoreBucketCount> bounds{};
  long long lower = 1;
  for (int& bound : bounds) {
    bound = static_cast<int>(lower);
    lower = score_scale::next_lower_bound(lower);
  }
  return bounds;
}();
static_assert(kScoreBucketCount < 4000, "the scale must stay small enough to keep whole");

[[noreturn]] void refuse(const std::string& why) { throw std::invalid_argument("score histogram: " + why); }

// A bucket's mean rounded half away from zero, in integers: exact for any sum. Scores are positive.
int rounded_mean(const HistogramBucket& b) { return static_cast<int>((2 * b.sum + b.runs) / (2 * b.runs)); }

// A bucket's runs as the ranking rule sees them: all at the bucket's mean.
struct Point {
  double value = 0.0;
  std::int64_t runs = 0;
};

// The value at 1-based `rank` of `points` ascending by value.
double value_at_rank(const std::vector<Point>& points, std::int64_t rank) {
  std::int64_t seen = 0;
  for (const Point& p : points) {
    seen += p.runs;
    if (seen >= rank) return p.value;
  }
  return points.back().value;
}

// As `median_of_sorted` in the ranking: the mean of the two middle runs for an even count, in
// the same double arithmetic, so that runs equal to their bucket's mean give the same median.
double median_of(const std::vector<Point>& ascending, std::int64_t n) {
  return n % 2 == 1 ? value_at_rank(ascending, (n + 1) / 2)
                    : (value_at_rank(ascending, n / 2) + value_at_rank(ascending, n / 2 + 1)) / 2.0;
}

}  // namespace

int score_bucket(int score) {
  if (score < 1) return -1;
  return static_cast<int>(std::upper_bound(kLowerBounds.begin(), kLowerBounds.end(), score) - kLowerBounds.begin()) - 1;
}

int score_bucket_lower(int index) { return kLowerBounds.at(static_cast<std::size_t>(index)); }

int score_bucket_upper(int index) {
  if (index + 1 == kScoreBucketCount) return std::numeric_limits<std::int32_t>::max();
  return kLowerBounds.at(static_cast<std::size_t>(index) + 1) - 1;
}

ScoreHistogram ScoreHistogram::from_buckets(std::vector<HistogramBucket> buckets) {
  ScoreHistogram h;
  int previous = -1;
  for (const HistogramBucket& b : buckets) {
    const auto fault = [&b](const std::string& what) { refuse("bucket " + std::to_string(b.index) + " " + what); };
    if (b.index < 0 || b.index >= kScoreBucketCount) fault("is off the scale");
    if (b.index <= previous) fault("is out of order or repeated");
    if (b.runs < 1 || b.runs > kMaxRunsPerBucket) fault("holds " + std::to_string(b.runs) + " runs");
    if (b.lowest > b.highest || score_bucket(b.lowest) != b.index || score_bucket(b.highest) != b.index)
      fault("has extremes outside it");
    // One run at each extreme (a single run is both), the others anywhere between them.
    if ((b.runs == 1 && b.lowest != b.highest) || b.sum < (b.runs - 1) * b.lowest + b.highest ||
        b.sum > b.lowest + (b.runs - 1) * b.highest)
      fault("has a sum of " + std::to_string(b.sum) + " that its runs cannot give");
    previous = b.index;
    h.runs_ += b.runs;
  }
  h.buckets_ = std::move(buckets);
  return h;
}

void ScoreHistogram::add(int score) {
  if (score < 1) throw std::invalid_argument("score histogram: score " + std::to_string(score) + " is below 1");
  const int index = score_bucket(score);
  auto at = std::lower_bound(buckets_.begin(), buckets_.end(), index,
                             [](const HistogramBucket& b, int i) { return b.index < i; });
  if (at != buckets_.end() && at->index == index) {
    if (at->runs >= kMaxRunsPerBucket) throw std::overflow_error("score histogram: bucket full");
    ++at->runs;
    at->sum += score;
    at->lowest = std::min(at->lowest, score);
    at->highest = std::max(at->highest, score);
  } else {
    buckets_.insert(at, {.index = index, .runs = 1, .sum = score, .lowest = score, .highest = score});
  }
  ++runs_;
}

void ScoreHistogram::merge(const ScoreHistogram& other) {
  if (other.runs_ == 0) return;
  // Merged into a new list first, so that an overflow leaves this histogram as it was.
  std::vector<HistogramBucket> merged;
  merged.reserve(buckets_.size() + other.buckets_.size());
  auto a = buckets_.begin();
  auto b = other.buckets_.begin();
  while (a != buckets_.end() || b != other.buckets_.end()) {
    if (b == other.buckets_.end() || (a != buckets_.end() && a->index < b->index)) {
      merged.push_back(*a++);
    } else if (a == buckets_.end() || b->index < a->index) {
      merged.push_back(*b++);
    } else {
      if (a->runs > kMaxRunsPerBucket - b->runs) throw std::overflow_error("score histogram: bucket full");
      merged.push_back({.index = a->index,
                        .runs = a->runs + b->runs,
                        .sum = a->sum + b->sum,
                        .lowest = std::min(a->lowest, b->lowest),
                        .highest = std::max(a->highest, b->highest)});
      ++a;
      ++b;
    }
  }
  runs_ += other.runs_;
  buckets_ = std::move(merged);
}

int histogram_percentile(const ScoreHistogram& histogram, int percent) {
  const std::int64_t n = histogram.runs();
  if (n == 0) return 0;
  // The same rank as nearest_rank: ceil(percent * n / 100) in integers.
  const std::int64_t rank = std::clamp<std::int64_t>((percent * n + 99) / 100, 1, n);
  if (rank == 1) return histogram.min();
  if (rank == n) return histogram.max();
  std::int64_t seen = 0;
  for (const HistogramBucket& b : histogram.buckets()) {
    seen += b.runs;
    if (seen >= rank) return rounded_mean(b);
  }
  return histogram.max();
}

ScoreSpread histogram_spread(const ScoreHistogram& histogram) {
  return {histogram.min(), histogram_percentile(histogram, 10), histogram_percentile(histogram, 50),
          histogram_percentile(histogram, 90), histogram.max()};
}

long long histogram_average(const ScoreHistogram& counted) {
  const std::int64_t n = counted.runs();
  if (n == 0) return 0;
  const std::vector<HistogramBucket>& buckets = counted.buckets();

  std::vector<bool> dropped(buckets.size(), false);
  if (static_cast<std::size_t>(n) >= kOutlierMinRuns) {
    std::vector<Point> points;
    points.reserve(buckets.size());
    for (const HistogramBucket& b : buckets)
      points.push_back({static_cast<double>(b.sum) / static_cast<double>(b.runs), b.runs});
    const double median = median_of(points, n);

    std::vector<Point> deviations;
    deviations.reserve(points.size());
    double deviation_sum = 0.0;
    for (const Point& p : points) {
      deviations.push_back({std::fabs(p.value - median), p.runs});
      deviation_sum += deviations.back().value * static_cast<double>(p.runs);
    }
    std::sort(deviations.begin(), deviations.end(), [](const Point& a, const Point& b) { return a.value < b.value; });
    double mad = median_of(deviations, n);
    if (mad == 0.0) {
      // More than half the runs lie in the median's bucket (the only one whose mean is the
      // median). Equal runs there have a MAD of 0 in the exact rule too; differing ones do not.
      for (std::size_t i = 0; i < points.size(); ++i)
        if (points[i].value == median) mad = (buckets[i].highest - buckets[i].lowest) / 4.0;
    }
    const double mean_ad = deviation_sum / static_cast<double>(n);

    // The scale and the test as in find_outliers, whose comment gives the constants' reasons.
    double scale = 0.0;
    if (mad > 0.0)
      scale = mad / 0.6745;
    else if (mean_ad > 0.0)
      scale = 1.2533 * mean_ad;
    if (scale > 0.0)  // else every bucket's mean is equal: nothing stands out
      for (std::size_t i = 0; i < points.size(); ++i)
        dropped[i] = std::fabs(points[i].value - median) / scale > kOutlierThreshold;
  }

  long long sum = 0;
  long long count = 0;
  for (std::size_t i = 0; i < buckets.size(); ++i) {
    if (dropped[i]) continue;
    sum += buckets[i].sum;
    count += buckets[i].runs;
  }
  if (count == 0) return 0;
  return (2 * sum + count) / (2 * count);  // half away from zero, as average_without_outliers
}
