#pragma once
// Live progress of a run on stderr: a redrawn bar on a terminal, plain periodic lines otherwise.
#include <cstdint>
#include <cstdio>
#include <string>

struct ProgressSnapshot {
  std::int32_t tiles_done = 0;
  std::int32_t tile_count = 0;
  double elapsed_seconds = 0.0;  // 0 until the measured phase has begun
};

// "[#####.....]  510/2040  25.0%  elapsed 0:12  remaining 0:36"; the remaining time is
// extrapolated from the tiles done so far, and omitted before the first tile.
std::string format_progress_line(const ProgressSnapshot& snapshot, int bar_width);

// "m:ss" below an hour, "h:mm:ss" above.
std::string format_duration(double seconds);

class ProgressReporter {
 public:
  ProgressReporter(std::FILE* out, bool interactive, std::string label);
  // Called a few times a second; prints only when something is worth showing.
  void update(const ProgressSnapshot& snapshot);
  // Ends the bar's line, so that what follows starts on a fresh one.
  void finish();

 private:
  std::FILE* out_;
  bool interactive_;
  std::string label_;
  double next_plain_line_ = 0.0;
  bool drew_ = false;
};
