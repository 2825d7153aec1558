#include "system/run_monitor.h"

#include <chrono>
#include <thread>

RunMonitor::RunMonitor(std::unique_ptr<ISensorSource> sensors, std::unique_ptr<ICpuTimesSource> load, LoadPause pause)
    : sampler_(std::move(sensors)), load_(std::move(load)), pause_(std::move(pause)) {}

void RunMonitor::sleep_load_check(const std::atomic<bool>& cancel) {
  // In short steps, so a cancel is seen at once rather than after the whole pause.
  constexpr auto kStep = std::chrono::milliseconds(50);
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(kLoadCheckSeconds);
  while (!cancel.load() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(kStep);
}

void RunMonitor::before_measured_phase(const std::atomic<bool>& cancel) {
  const std::optional<LoadCounters> before = read_load_counters(*load_);
  pause_(cancel);
  const std::optional<LoadCounters> after = read_load_counters(*load_);
  std::lock_guard lock(mutex_);
  background_load_ = background_load_share(before, after);
}

RunPhaseHooks RunMonitor::phase_hooks() {
  RunPhaseHooks hooks;
  hooks.before_measured_phase = [this](const RunRequest&, const std::atomic<bool>& cancel) {
    const bool check_load = check_load_.load();
    if (check_load) {
      std::lock_guard lock(mutex_);
      background_load_.reset();
    }
    // The engine's workers run unbound unless a placement binds them, so the clock is the mean
    // over every usable processor.
    sampler_.start_run({});
    if (check_load) before_measured_phase(cancel);
  };
  hooks.measured_phase_started = [this] { sampler_.measured_phase_started(); };
  hooks.measured_phase_ended = [this](bool completed) {
    if (!completed) {
      sampler_.stop_run();
      return;
    }
    sampler_.measured_phase_ended();
    // The end read is quick on Linux and at worst a WMI query on Windows; it blocks the run's
    // thread, never a window or a progress line.
    sampler_.wait_finished();
  };
  return hooks;
}

std::optional<RunConditions> RunMonitor::finished_run(double score) const {
  const std::optional<SensorRecorder> record = sampler_.finished();
  if (!record) return std::nullopt;
  const std::optional<SensorOffer> offer = sampler_.offer();
  std::optional<double> load;
  {
    std::lock_guard lock(mutex_);
    load = background_load_;
  }
  return RunConditions{record->summary(score),
                       run_warnings(load, sampler_.on_battery(), *record, offer ? offer->temp_limit_c : std::nullopt)};
}

std::unique_ptr<RunMonitor> make_platform_run_monitor(const std::string& machine_root) {
  return std::make_unique<RunMonitor>(make_platform_sensor_source(machine_root), make_platform_cpu_times_source());
}
