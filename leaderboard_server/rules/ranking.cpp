#include "leaderboard_server/rules/ranking.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <unordered_map>

namespace {

double median_of_sorted(const std::vector<double>& v) {
  const std::size_t n = v.size();
  return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

}  // namespace

bool ranks_before(const RankedRow& a, const RankedRow& b) {
  if (a.avg_score != b.avg_score) return a.avg_score > b.avg_score;
  if (a.runs != b.runs) return a.runs > b.runs;
  return a.cpu < b.cpu;  // std::string compares bytes as unsigned char
}

std::vector<bool> find_outliers(const std::vector<int>& scores) {
  std::vector<bool> outlier(scores.size(), false);
  if (scores.size() < kOutlierMinRuns) return outlier;

  std::vector<double> sorted(scores.begin(), scores.end());
  std::sort(sorted.begin(), sorted.end());
  const double median = median_of_sorted(sorted);

  std::vector<double> deviations;
  deviations.reserve(scores.size());
  double deviation_sum = 0.0;
  for (int s : scores) {
    deviations.push_back(std::fabs(s - median));
    deviation_sum += deviations.back();
  }
  std::sort(deviations.begin(), deviations.end());
  const double mad = median_of_sorted(deviations);
  const double mean_ad = deviation_sum / static_cast<double>(scores.size());

  // Modified z-score (Iglewicz and Hoaglin): 0.6745 turns the MAD into a standard deviation
  // for normal data. When more than half the runs are identical the MAD is 0, and the mean
  // absolute deviation scaled by sqrt(pi/2) ~ 1.2533 stands in for the standard deviation.
  double scale = 0.0;
  if (mad > 0.0)
    scale = mad / 0.6745;
  else if (mean_ad > 0.0)
    scale = 1.2533 * mean_ad;
  else
    return outlier;  // every run equal: nothing stands out

  for (std::size_t i = 0; i < scores.size(); ++i)
    outlier[i] = std::fabs(scores[i] - median) / scale > kOutlierThreshold;
  return outlier;
}

long long average_without_outliers(const std::vector<int>& scores) {
  const std::vector<bool> outlier = find_outliers(scores);
  long long sum = 0;
  long long count = 0;
  for (std::size_t i = 0; i < scores.size(); ++i) {
    if (outlier[i]) continue;
    sum += scores[i];
    ++count;
  }
  if (count == 0) return 0;
  // Integer rounding, half away from zero: exact for any sum, unlike a division in doubles.
  const long long twice = 2 * sum;
  return twice >= 0 ? (twice + count) / (2 * count) : -((-twice + count) / (2 * count));
}

namespace {

std::vector<int> counted_scores(std::span<const StoredScore> runs, std::size_t per_client) {
  std::vector<int> counted;
  counted.reserve(runs.size());
  std::unordered_map<std::string_view, std::size_t> seen;
  for (const StoredScore& run : runs)
    if (per_client == 0 || run.client.empty() || ++seen[run.client] <= per_client) counted.push_back(run.score);
  return counted;
}

}  // namespace

long long counted_average(std::span<const StoredScore> runs, std::size_t per_client) {
  return average_without_outliers(counted_scores(runs, per_client));
}

long long counted_run_count(std::span<const StoredScore> runs, std::size_t per_client) {
  return static_cast<long long>(counted_scores(runs, per_client).size());
}
