#include "engine/remaining_time.h"

#include <cstdio>

namespace {
constexpr std::int32_t kUnweightedShare = 10;  // without costs, wait for 1/10 of the tiles
}

RemainingTimeEstimator::RemainingTimeEstimator(std::span<const double> tile_costs) {
  if (tile_costs.empty()) return;
  done_cost_.reserve(tile_costs.size() + 1);
  done_cost_.push_back(0.0);
  for (double cost : tile_costs) done_cost_.push_back(done_cost_.back() + (cost > 0.0 ? cost : 0.0));
}

std::optional<double> RemainingTimeEstimator::remaining_seconds(std::int32_t tiles_done, std::int32_t tile_count,
                                                                double elapsed_seconds) const {
  if (tile_count <= 0 || tiles_done <= 0 || tiles_done > tile_count) return std::nullopt;
  if (weighs(tile_count)) {
    const double done = done_cost_[static_cast<std::size_t>(tiles_done)];
    const double total = done_cost_.back();
    if (done <= 0.0) return std::nullopt;
    return elapsed_seconds * (total - done) / done;
  }
  if (std::int64_t{tiles_done} * kUnweightedShare < tile_count) return std::nullopt;
  return elapsed_seconds * (tile_count - tiles_done) / tiles_done;
}

bool RemainingTimeEstimator::weighs(std::int32_t tile_count) const {
  return tile_count > 0 && static_cast<std::size_t>(tile_count) + 1 == done_cost_.size() && done_cost_.back() > 0.0;
}

double RemainingTimeEstimator::done_share(std::int32_t tiles_done, std::int32_t tile_count) const {
  if (tile_count <= 0 || tiles_done <= 0) return 0.0;
  if (tiles_done >= tile_count) return 1.0;
  if (weighs(tile_count)) return done_cost_[static_cast<std::size_t>(tiles_done)] / done_cost_.back();
  return static_cast<double>(tiles_done) / tile_count;
}

std::string format_duration(double seconds) {
  // Rounded without the maths library, which the engine does not call (its imports test).
  const long total = seconds > 0.0 ? static_cast<long>(seconds + 0.5) : 0;
  char text[32];
  if (total >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
  }
  return text;
}
