#pragma once
// Live progress of a run on stderr: a redrawn line on a terminal, plain periodic lines otherwise.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>

#include "engine/remaining_time.h"

struct ProgressSnapshot {
  std::int32_t tiles_done = 0;
  std::int32_t tile_count = 0;
  double elapsed_seconds = 0.0;  // 0 until the measured phase has begun
  // The share of the work done, weighted by the tiles' costs (RemainingTimeEstimator::done_share);
  // below 0: the share of tiles.
  double done_share = -1.0;
};

// "multi (8 threads) [#####.....]  510/2040   25.0%  elapsed 0:12  remaining 0:36  4.52 GHz  86 °C",
// within `columns` display columns less one (a terminal may wrap on writing into its last
// column): the bar shrinks first (30 marks at most), then the sensors' text goes, then the bar,
// the elapsed time, the label and the remaining time. 0 columns gives the plain line for logs:
// no bar, no limit. `remaining` is the text after "remaining", left out when empty; `sensors`
// follows it as it is (sensor_progress_text).
std::string format_progress_line(const std::string& label, const ProgressSnapshot& snapshot,
                                 const std::string& remaining, int columns, const std::string& sensors = {});

// "4.52 GHz  86 °C", the readings that are there; empty when neither is.
std::string sensor_progress_text(std::optional<double> clock_mhz, std::optional<double> temp_c);

// The remaining-time text for a snapshot: a duration, "estimating…" while the estimator has
// too little, empty once every tile is done.
std::string remaining_text(const RemainingTimeEstimator& estimator, const ProgressSnapshot& snapshot);

class ProgressReporter {
 public:
  ProgressReporter(std::FILE* out, bool interactive, std::string label,
                   RemainingTimeEstimator estimator = RemainingTimeEstimator());
  // Called a few times a second; prints only when something is worth showing.
  void update(const ProgressSnapshot& snapshot);
  // Draws the final state once more and ends the line, so that what follows starts on a fresh
  // one. Without a snapshot (the run never began) it only ends a line already drawn.
  void finish(const ProgressSnapshot* last);
  // The sampler's latest readings, shown from the next line on.
  void set_sensors(std::optional<double> clock_mhz, std::optional<double> temp_c);
  // A label whose text changes during a run (a stress test's time left).
  void set_label(std::string label) { label_ = std::move(label); }

 private:
  void draw(const ProgressSnapshot& snapshot);
  ProgressSnapshot weighed(ProgressSnapshot snapshot) const;

  std::FILE* out_;
  bool interactive_;
  std::string label_;
  RemainingTimeEstimator estimator_;
  std::string sensors_;
  int columns_ = 0;
  double next_plain_line_ = 0.0;
  bool drew_ = false;
};
