#include "cli/engine_stress_passes.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

#include "cli/progress_reporter.h"
#include "engine/tile_order.h"
#include "system/stop_signal.h"
#include "verify/sha256.h"

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(200);

std::string pass_label(const PassLabel& label, double pass_seconds) {
  const double left = std::max(0.0, label.seconds_left - pass_seconds);
  return "stress pass " + std::to_string(label.pass) + ", " + format_duration(left) + " left";
}

}  // namespace

EngineStressPasses::EngineStressPasses(const WorkerPlacement& placement, RunMonitor* monitor, std::FILE* progress_out,
                                       bool interactive)
    : engine_(placement), monitor_(monitor), progress_out_(progress_out), interactive_(interactive) {
  if (monitor_ != nullptr) engine_.set_phase_hooks(monitor_->phase_hooks());
}

EngineStressPasses::~EngineStressPasses() {
  if (monitor_ != nullptr) monitor_->set_load_check(true);
}

PassRun EngineStressPasses::run_pass(const RunRequest& run, const PassLabel& label) {
  // The load before the first pass stands for the whole test (the monitor keeps it).
  if (monitor_ != nullptr) monitor_->set_load_check(label.pass == 1);
  ProgressReporter progress(progress_out_, interactive_, pass_label(label, 0.0),
                            RemainingTimeEstimator(queued_tile_costs(run.workload)));
  engine_.start(run);
  bool cancelled = false;
  const auto elapsed = [this] { return (BenchmarkEngine::steady_now_ns() - engine_.start_time.load()) * 1e-9; };
  while (engine_.running.load()) {
    if (!cancelled && received_stop_signal() != 0) {
      engine_.cancel();
      cancelled = true;
    }
    // Until the measured phase begins the counters may still hold the previous pass's values.
    if (engine_.start_time.load() != 0) {
      progress.set_label(pass_label(label, elapsed()));
      progress.update(ProgressSnapshot{engine_.tiles_done.load(), engine_.tile_count.load(), elapsed()});
    }
    std::this_thread::sleep_for(kPollInterval);
  }

  PassRun pass;
  const bool finished = engine_.result_ready.load();
  if (engine_.start_time.load() != 0) {
    const ProgressSnapshot last{engine_.tiles_done.load(), engine_.tile_count.load(),
                                finished ? engine_.result.time_seconds : elapsed()};
    progress.finish(&last);
  } else {
    progress.finish(nullptr);
  }
  if (const auto failure = engine_.take_failure()) pass.failure = *failure;
  if (!finished || received_stop_signal() != 0) return pass;
  pass.result = engine_.take_result();
  pass.image_sha256 = sha256_hex(engine_.pixels.snapshot());
  // The engine published the result after the sampler's end read, so this never waits.
  if (monitor_ != nullptr) {
    if (auto conditions = monitor_->finished_run(pass.result->score)) {
      pass.sensors = conditions->sensors;
      pass.warnings = std::move(conditions->warnings);
    }
  }
  return pass;
}
