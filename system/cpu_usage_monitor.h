#pragma once
// Machine-wide processor utilisation while a benchmark runs: sampled twice a second, smoothed,
// and kept for the whole run, with each value's time, for the graph under the render preview.
// The drawing lives with the panels; this is the sampling state and its rules.
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// Cumulative times of the whole machine, all in one unit; kernel includes idle.
struct SystemTimes {
  std::uint64_t idle = 0;
  std::uint64_t kernel = 0;
  std::uint64_t user = 0;
};

// Where the monitor gets its clock and counters; one implementation per platform, and fakes
// in tests.
class ICpuTimesSource {
 public:
  virtual ~ICpuTimesSource() = default;
  virtual double now_seconds() = 0;                       // monotonic
  virtual std::optional<SystemTimes> system_times() = 0;  // nullopt when the query failed
  // This process's own processor time (kernel + user) in the unit of system_times(), so that
  // other programs' load is the difference; nullopt where the source has none.
  virtual std::optional<std::uint64_t> process_time() { return std::nullopt; }
};

std::unique_ptr<ICpuTimesSource> make_platform_cpu_times_source();

struct CpuUsageMonitor {
  static constexpr double kInterval = 0.5;

  // The whole run, oldest first: a long run is drawn whole after it, not only its end.
  std::vector<float> usage_history;  // smoothed percentages
  std::vector<double> sample_times;  // the source's seconds of each value
  std::int32_t stored = 0;           // values kept, usage_history.size()
  bool sampling = false;
  bool first_sample = true;  // the next sample only sets the baseline
  float smoothed = 0.0f;
  std::uint64_t prev_idle = 0, prev_kernel = 0, prev_user = 0;
  double last_sample_time = 0.0;
  double total = 0.0;  // sum of the clamped samples of the current run
  std::int32_t sample_count = 0;

  // Called once per frame with the engine's running flag: starts a new series when a run
  // starts, freezes it when the run ends, and takes a sample when one is due.
  void update(bool running, ICpuTimesSource& source);
  // The same with this platform's clock and counters, created on first use and kept for the
  // life of the program. User-interface thread only.
  void update(bool running);

  // The value beside the title: the smoothed value while sampling, the run's average after.
  float display_value() const;
  // Mean of the unsmoothed samples of the current or last run; 0 before the first.
  double average() const { return sample_count > 0 ? total / sample_count : 0.0; }
  // The i-th stored value, oldest first (i < stored).
  float value_oldest_first(std::int32_t i) const { return usage_history[static_cast<std::size_t>(i)]; }
};
