#pragma once
// Live progress of a run on stderr: a redrawn line on a terminal, plain periodic lines otherwise.
#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/remaining_time.h"

struct ProgressSnapshot {
  std::int32_t tiles_done = 0;
  std::int32_t tile_count = 0;
  double elapsed_seconds = 0.0;  // 0 until the measured phase has begun
  // The share of the work done, weighted by the tiles' costs (RemainingTimeEstimator::done_share);
  // below 0: the share of tiles.
  double done_share = -1.0;
};

// "multi (8 threads) [#####.....]  510/2040   25.0%  elapsed 0:12  remaining 0:36", within
// `columns` display columns less one (a terminal may wrap on writing into its last column):
// the bar shrinks first (30 marks at most), then goes, then the elapsed time, the label and
// the remaining time. 0 columns gives the plain line for logs: no bar, no limit. `remaining`
// is the text after "remaining", left out when empty.
std::string format_progress_line(const std::string& label, const ProgressSnapshot& snapshot,
                                 const std::string& remaining, int columns);

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

 private:
  void draw(const ProgressSnapshot& snapshot);
  ProgressSnapshot weighed(ProgressSnapshot snapshot) const;

  std::FILE* out_;
  bool interactive_;
  std::string label_;
  RemainingTimeEstimator estimator_;
  int columns_ = 0;
  double next_plain_line_ = 0.0;
  bool drew_ = false;
};
