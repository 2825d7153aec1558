#pragma once
// The remaining time of a run, from the share of its work that is done. Tiles differ in cost
// (sky against glass, several times the mean either way), so a count of tiles misleads: with
// each tile's relative cost the estimate follows the work done; without costs it says nothing
// until a tenth of the tiles are done.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Both programs show it: the runner's progress line and the window's.
class RemainingTimeEstimator {
 public:
  // `tile_costs`: the relative cost of each tile, in the order the engine queues them (the
  // first n done are taken to be the first n queued). Empty, or of another length than the
  // run's tile count, for costs that are not known.
  RemainingTimeEstimator() = default;
  explicit RemainingTimeEstimator(std::span<const double> tile_costs);

  // Seconds still to go after `elapsed_seconds` with `tiles_done` of `tile_count` finished;
  // empty while there is too little to go on.
  std::optional<double> remaining_seconds(std::int32_t tiles_done, std::int32_t tile_count,
                                          double elapsed_seconds) const;

  // The share of the run's work that is done, 0 to 1: weighted by the tiles' costs where they
  // are known, else the share of tiles. The percentage and the bar show it, so that half the
  // time is about half the bar.
  double done_share(std::int32_t tiles_done, std::int32_t tile_count) const;

 private:
  bool weighs(std::int32_t tile_count) const;

  std::vector<double> done_cost_;  // done_cost_[n]: the cost of the first n tiles
};

// "m:ss" below an hour, "h:mm:ss" above.
std::string format_duration(double seconds);
