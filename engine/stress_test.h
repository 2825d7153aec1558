#pragma once
// A stress test: the multi-core workload pass after pass for a set time, each pass scored and its
// image checked, judged by how steady the scores stay. Pure rules over the passes and the times
// the caller reads from its clock; the runner and the window start the passes.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/run_sensors.h"

inline constexpr std::int32_t kStressDefaultMinutes = 10;
inline constexpr std::int32_t kStressMinMinutes = 1;
inline constexpr std::int32_t kStressMaxMinutes = 240;
// A slow machine whose one pass outlasts the minutes still gets a stability figure.
inline constexpr std::int32_t kStressMinPasses = 3;
// The lowest pass score as a share of the highest at which a machine still counts as stable.
inline constexpr double kStableAtPercent = 97.0;

// "unstable": a pass computed a wrong image. The text form is the JSON's and the history's.
enum class StressVerdict { stable, unsteady, unstable, cancelled };
const char* stress_verdict_text(StressVerdict verdict);

struct StressPass {
  std::int32_t score = 0;
  double time_seconds = 0.0;
  std::string image_sha256;  // empty for a pass read back from the history, which keeps none
  SensorSummary sensors;
  friend bool operator==(const StressPass&, const StressPass&) = default;
};

// The lowest pass score over the highest, in percent; 0 without a positive score.
double stability_percent(std::span<const StressPass> passes);
// (1 - last / first) x 100: positive when the machine slowed down; 0 with fewer than two passes.
double drop_percent(std::span<const StressPass> passes);
// The score of the pass in the middle (the lower of the two middle ones for an even count, as a
// series of runs reports it); 0 without passes.
std::int32_t median_pass_score(std::span<const StressPass> passes);
// The whole test's sensors: the passes' mean clock weighted by their times, the lowest clock, the
// hottest temperature; energy and power only when every pass measured them, since a sum with a
// gap would understate them; points per watt from `score`.
SensorSummary whole_test_sensors(std::span<const StressPass> passes, std::int32_t score);

// Where a wrong image ended the test.
struct StressFailure {
  std::int32_t pass = 0;  // counted from 1
  double elapsed_seconds = 0.0;
  std::optional<double> temp_c;  // the pass's hottest reading, the nearest to that moment
};

struct StressSummary {
  std::int32_t pass_count = 0;
  std::int32_t minutes_requested = 0;
  double elapsed_seconds = 0.0;
  double stability_percent = 0.0;
  double drop_percent = 0.0;
  std::int32_t median_score = 0;
  SensorSummary sensors;
  StressVerdict verdict = StressVerdict::cancelled;
  std::optional<StressFailure> failure;
};

class StressTest {
 public:
  // `minutes` from kStressMinMinutes to kStressMaxMinutes; `started_at` in seconds on the
  // caller's monotonic clock, as every later time.
  StressTest(std::int32_t minutes, double started_at);

  // Takes a finished pass and returns whether another is due. `matches_reference` is the check
  // against the workload's reference image; without one (a custom workload) the pass must equal
  // the first pass instead. A wrong image ends the test at once. The test ends with the first
  // pass that finishes once the minutes are over, and never before kStressMinPasses passes.
  bool add_pass(StressPass pass, std::optional<bool> matches_reference, double now);
  // The user stopped the test: the passes so far stay for display.
  void cancel(double now);

  bool finished() const { return finished_; }
  double elapsed_seconds(double now) const { return now - started_at_; }
  // Until the minutes are over; 0 after, also while the last passes run.
  double seconds_left(double now) const;
  std::int32_t minutes() const { return minutes_; }
  const std::vector<StressPass>& passes() const { return passes_; }
  const std::optional<StressFailure>& failure() const { return failure_; }
  StressSummary summary() const;

 private:
  std::int32_t minutes_;
  double started_at_;
  double ended_at_;
  bool finished_ = false;
  bool cancelled_ = false;
  std::vector<StressPass> passes_;
  std::optional<StressFailure> failure_;
};
