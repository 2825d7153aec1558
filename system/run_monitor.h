#pragma once
// What a program watches around its runs, made once per program: the one sensor sampler and
// the check of other programs' load over the 2 s before the measured phase. It gives the engine
// its phase hooks and, once a run has ended, what the run measured and its warnings.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/run_phase_hooks.h"
#include "engine/run_sensors.h"
#include "system/cpu_usage_monitor.h"
#include "system/run_conditions.h"
#include "system/sensor_sampler.h"

// A finished run's sensor summary and warnings, as both programs keep and show them.
struct RunConditions {
  SensorSummary sensors;
  std::vector<RunWarning> warnings;
};

class RunMonitor {
 public:
  // The pause between the two reads of the load counters; returns early once `cancel` is set.
  // Tests pass one that returns at once, so they never wait or depend on timing.
  using LoadPause = std::function<void(const std::atomic<bool>& cancel)>;
  static constexpr double kLoadCheckSeconds = 2.0;

  RunMonitor(std::unique_ptr<ISensorSource> sensors, std::unique_ptr<ICpuTimesSource> load,
             LoadPause pause = sleep_load_check);

  // For BenchmarkEngine::set_phase_hooks; the engine must not outlive this monitor.
  RunPhaseHooks phase_hooks();
  // Whether the next runs check other programs' load before their measured phase (the default).
  // A stress test's passes run back to back: its first pass checks, and the later ones keep that
  // result for the whole test rather than let the processor idle 2 s between passes.
  void set_load_check(bool on) { check_load_.store(on); }
  SensorSampler& sampler() { return sampler_; }
  const SensorSampler& sampler() const { return sampler_; }

  // The last run's summary and warnings once its end read is in (always so once the engine has
  // published the result: the end hook waits for it); nullopt otherwise.
  std::optional<RunConditions> finished_run(double score) const;

  static void sleep_load_check(const std::atomic<bool>& cancel);

 private:
  void before_measured_phase(const std::atomic<bool>& cancel);

  SensorSampler sampler_;
  std::unique_ptr<ICpuTimesSource> load_;
  LoadPause pause_;
  std::atomic<bool> check_load_{true};
  mutable std::mutex mutex_;
  std::optional<double> background_load_;  // of the last run, under mutex_
};

// The sensors the program reads: this machine's, or on Linux the tree under `machine_root` (a
// captured machine, a testing aid; empty: this machine). Windows reads its own sensors whatever
// the root.
std::unique_ptr<RunMonitor> make_platform_run_monitor(const std::string& machine_root);
