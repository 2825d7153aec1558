#include "leaderboard_client/score_comparison.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <limits>

using nlohmann::json;

namespace {

// Far more runs than any server holds, and small enough that 200 x runs cannot overflow.
constexpr std::int64_t kMaxRuns = 1'000'000'000'000'000;
constexpr std::int64_t kMaxScore = std::numeric_limits<std::int32_t>::max();

// A JSON integer within [low, high]; nothing for floats, booleans, text or numbers out of range.
std::optional<std::int64_t> integer_in(const json& value, std::int64_t low, std::int64_t high) {
  if (!value.is_number_integer()) return std::nullopt;
  if (value.is_number_unsigned() && value.get<std::uint64_t>() > static_cast<std::uint64_t>(high)) return std::nullopt;
  const auto v = value.get<std::int64_t>();
  if (v < low || v > high) return std::nullopt;
  return v;
}

DistributionReading refuse(std::string why) { return {std::nullopt, "Unusable distribution from the server: " + why}; }

// Reasons never quote the reply's text: it comes from the network and ends up on a terminal.
DistributionReading read_document(const json& doc, RunKind kind, std::string_view cpu) {
  if (!doc.is_object()) return refuse("not a JSON object");
  const auto kind_field = doc.find("kind");
  if (kind_field == doc.end() || !kind_field->is_string()) return refuse("no kind");
  if (kind_field->get_ref<const std::string&>() != run_kind_text(kind))
    return refuse(std::string("not of the kind asked for (") + run_kind_text(kind) + ")");
  const auto cpu_field = doc.find("cpu");
  if (cpu_field == doc.end() || !cpu_field->is_string()) return refuse("no processor name");
  if (cpu_field->get_ref<const std::string&>() != cpu) return refuse("of another processor");

  ScoreDistribution d;
  const auto runs_field = doc.find("runs");
  const auto runs = runs_field != doc.end() ? integer_in(*runs_field, 0, kMaxRuns) : std::nullopt;
  if (!runs) return refuse("the run count is missing or not a whole number");
  if (*runs == 0) return refuse("no runs");
  d.runs = *runs;
  const auto median_field = doc.find("median");
  const auto median = median_field != doc.end() ? integer_in(*median_field, 1, kMaxScore) : std::nullopt;
  if (!median) return refuse("the median is missing or not a whole number from 1");
  d.median = static_cast<std::int32_t>(*median);

  const auto buckets = doc.find("buckets");
  if (buckets == doc.end() || !buckets->is_array()) return refuse("the buckets are missing or not a list");
  std::int64_t total = 0;
  for (const json& b : *buckets) {
    const auto fault = [&d](const char* what) {
      return refuse("bucket " + std::to_string(d.buckets.size() + 1) + what);
    };
    if (!b.is_array() || b.size() != 3) return fault(" is not [lowest, highest, runs]");
    const auto lower = integer_in(b[0], 1, kMaxScore);
    const auto upper = integer_in(b[1], 1, kMaxScore);
    const auto count = integer_in(b[2], 1, kMaxRuns);
    if (!lower || !upper || !count) return fault(" has a bound or run count out of range");
    if (*lower > *upper) return fault(" ends before it starts");
    if (!d.buckets.empty() && *lower <= d.buckets.back().upper) return fault(" overlaps or precedes the one before");
    total += *count;  // cannot overflow: both are at most kMaxRuns
    if (total > d.runs) return refuse("the buckets hold more runs than the count");
    d.buckets.push_back({static_cast<std::int32_t>(*lower), static_cast<std::int32_t>(*upper), *count});
  }
  if (total != d.runs) return refuse("the buckets hold fewer runs than the count");
  if (d.median < d.buckets.front().lower || d.median > d.buckets.back().upper)
    return refuse("the median lies outside the buckets");
  return {std::move(d), ""};
}

std::string ordinal(int n) {
  const int tens = n % 100;
  const char* suffix = "th";
  if (tens < 11 || tens > 13) {
    if (n % 10 == 1) suffix = "st";
    if (n % 10 == 2) suffix = "nd";
    if (n % 10 == 3) suffix = "rd";
  }
  return std::to_string(n) + suffix;
}

}  // namespace

DistributionReading read_distribution(std::string_view reply, RunKind kind, std::string_view cpu) {
  json doc;
  try {
    doc = json::parse(reply);  // strict: exactly one value, no comments
  } catch (const json::parse_error& e) {
    return refuse("not JSON (at byte " + std::to_string(e.byte) + ")");
  } catch (const json::exception&) {  // out_of_range 406: a number beyond a double's range
    return refuse("not JSON (a number out of range)");
  }
  return read_document(doc, kind, cpu);
}

const char* comparison_verdict_text(ComparisonVerdict verdict) {
  switch (verdict) {
    case ComparisonVerdict::too_few: return "too_few";
    case ComparisonVerdict::low: return "low";
    case ComparisonVerdict::typical: return "typical";
    case ComparisonVerdict::high: return "high";
  }
  return "too_few";  // unreachable: every verdict is listed above
}

ScoreComparison compare_score(const ScoreDistribution& distribution, std::int32_t score) {
  ScoreComparison c{.runs = distribution.runs, .median = distribution.median};
  if (distribution.runs < kMinRunsToCompare) return c;

  // In half runs, so that the straddled bucket's half stays an integer.
  std::int64_t twice_below = 0;
  for (const DistributionBucket& b : distribution.buckets) {
    if (b.upper < score)
      twice_below += 2 * b.runs;
    else if (b.lower <= score)
      twice_below += b.runs;
  }
  const std::int64_t n = distribution.runs;
  const int percentile = static_cast<int>((100 * twice_below + n) / (2 * n));
  c.percentile = percentile;
  if (percentile < 10) {
    c.verdict = ComparisonVerdict::low;
    // In 64 bits: twice a median near the top of the score range does not fit an int.
    const std::int64_t median = distribution.median;
    const std::int64_t gap = std::max<std::int64_t>(0, median - score);
    c.below_median_percent = static_cast<int>((200 * gap + median) / (2 * median));
  } else if (percentile > 90) {
    c.verdict = ComparisonVerdict::high;
  } else {
    c.verdict = ComparisonVerdict::typical;
  }
  return c;
}

std::string comparison_text(const ScoreComparison& c) {
  if (c.verdict == ComparisonVerdict::too_few || !c.percentile)
    return "Too few runs of this processor to compare (" + std::to_string(c.runs) + ")";
  const std::string place = ordinal(*c.percentile) + " percentile of " + std::to_string(c.runs) + " runs";
  const std::string median = "median " + std::to_string(c.median);
  switch (c.verdict) {
    case ComparisonVerdict::low:
      return "Low for this processor: " + place + ", " + std::to_string(c.below_median_percent.value_or(0)) +
             " % below the " + median;
    case ComparisonVerdict::high: return "High for this processor: " + place + " (" + median + ")";
    case ComparisonVerdict::typical:
    case ComparisonVerdict::too_few: break;
  }
  return "Typical for this processor: " + place + " (" + median + ")";
}
