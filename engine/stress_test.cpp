#include "engine/stress_test.h"

#include <algorithm>
#include <utility>

const char* stress_verdict_text(StressVerdict verdict) {
  switch (verdict) {
    case StressVerdict::stable: return "stable";
    case StressVerdict::unsteady: return "unsteady";
    case StressVerdict::unstable: return "unstable";
    case StressVerdict::cancelled: return "cancelled";
  }
  return "cancelled";  // unreachable: every verdict is listed above
}

double stability_percent(std::span<const StressPass> passes) {
  if (passes.empty()) return 0.0;
  const auto [low, high] = std::minmax_element(
      passes.begin(), passes.end(), [](const StressPass& a, const StressPass& b) { return a.score < b.score; });
  if (high->score < 1) return 0.0;
  return static_cast<double>(std::max(low->score, 0)) / static_cast<double>(high->score) * 100.0;
}

double drop_percent(std::span<const StressPass> passes) {
  if (passes.size() < 2 || passes.front().score < 1) return 0.0;
  return (1.0 - static_cast<double>(passes.back().score) / static_cast<double>(passes.front().score)) * 100.0;
}

std::int32_t median_pass_score(std::span<const StressPass> passes) {
  if (passes.empty()) return 0;
  std::vector<std::int32_t> scores;
  for (const StressPass& pass : passes) scores.push_back(pass.score);
  std::sort(scores.begin(), scores.end());
  return scores[(scores.size() - 1) / 2];
}

SensorSummary whole_test_sensors(std::span<const StressPass> passes, std::int32_t score) {
  SensorSummary whole;
  double clock_weighted = 0.0, clock_seconds = 0.0, joules = 0.0, seconds = 0.0;
  bool every_energy = !passes.empty();
  for (const StressPass& pass : passes) {
    const SensorSummary& s = pass.sensors;
    if (s.clock_mhz_avg) {
      clock_weighted += *s.clock_mhz_avg * pass.time_seconds;
      clock_seconds += pass.time_seconds;
    }
    if (s.clock_mhz_min)
      whole.clock_mhz_min = std::min(whole.clock_mhz_min.value_or(*s.clock_mhz_min), *s.clock_mhz_min);
    if (s.temp_c_max) whole.temp_c_max = std::max(whole.temp_c_max.value_or(*s.temp_c_max), *s.temp_c_max);
    every_energy = every_energy && s.energy_j.has_value();
    joules += s.energy_j.value_or(0.0);
    seconds += pass.time_seconds;
  }
  if (clock_seconds > 0.0) whole.clock_mhz_avg = clock_weighted / clock_seconds;
  if (every_energy && seconds > 0.0) {
    whole.energy_j = joules;
    whole.power_w_avg = joules / seconds;
    if (*whole.power_w_avg > 0.0) whole.points_per_watt = score / *whole.power_w_avg;
  }
  return whole;
}

StressTest::StressTest(std::int32_t minutes, double started_at)
    : minutes_(std::clamp(minutes, kStressMinMinutes, kStressMaxMinutes)),
      started_at_(started_at),
      ended_at_(started_at) {}

bool StressTest::add_pass(StressPass pass, std::optional<bool> matches_reference, double now) {
  if (finished_) return false;
  ended_at_ = now;
  // A custom workload has no reference: the first pass stands in for it, so that heat making the
  // machine compute differently later still shows.
  const bool right = matches_reference.value_or(passes_.empty() || pass.image_sha256 == passes_.front().image_sha256);
  if (!right) {
    failure_ = StressFailure{.pass = static_cast<std::int32_t>(passes_.size()) + 1,
                             .elapsed_seconds = elapsed_seconds(now),
                             .temp_c = pass.sensors.temp_c_max};
    finished_ = true;
    return false;
  }
  passes_.push_back(std::move(pass));
  finished_ = seconds_left(now) <= 0.0 && static_cast<std::int32_t>(passes_.size()) >= kStressMinPasses;
  return !finished_;
}

void StressTest::cancel(double now) {
  if (finished_) return;
  ended_at_ = now;
  cancelled_ = true;
  finished_ = true;
}

double StressTest::seconds_left(double now) const { return std::max(0.0, minutes_ * 60.0 - elapsed_seconds(now)); }

StressSummary StressTest::summary() const {
  StressSummary s;
  s.pass_count = static_cast<std::int32_t>(passes_.size());
  s.minutes_requested = minutes_;
  s.elapsed_seconds = ended_at_ - started_at_;
  s.stability_percent = stability_percent(passes_);
  s.drop_percent = drop_percent(passes_);
  s.median_score = median_pass_score(passes_);
  s.sensors = whole_test_sensors(passes_, s.median_score);
  s.failure = failure_;
  if (failure_) {
    s.verdict = StressVerdict::unstable;
  } else if (cancelled_ || !finished_) {
    s.verdict = StressVerdict::cancelled;
  } else {
    s.verdict = s.stability_percent >= kStableAtPercent ? StressVerdict::stable : StressVerdict::unsteady;
  }
  return s;
}
