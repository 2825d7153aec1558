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

// Other programs' share of the machine over the 2 s before the test, as a run checks it before
// its measured phase: it applies to the whole test. Ctrl-C ends the wait.
std::optional<RunWarning> background_load_before_test(ICpuTimesSource& source) {
  const std::optional<LoadCounters> before = read_load_counters(source);
  for (int i = 0; i < 20 && received_stop_signal() == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  return background_load_warning(background_load_share(before, read_load_counters(source)));
}

}  // namespace

EngineStressPasses::EngineStressPasses(const WorkerPlacement& placement, SensorSampler* sampler, ICpuTimesSource* load,
                                       std::FILE* progress_out, bool interactive)
    : engine_(placement), sampler_(sampler), load_(load), progress_out_(progress_out), interactive_(interactive) {}

PassRun EngineStressPasses::run_pass(const RunRequest& run, const PassLabel& label) {
  std::optional<RunWarning> busy;
  if (label.pass == 1 && load_ != nullptr) busy = background_load_before_test(*load_);
  ProgressReporter progress(progress_out_, interactive_, pass_label(label, 0.0),
                            RemainingTimeEstimator(queued_tile_costs(run.workload)));
  if (sampler_ != nullptr) sampler_->start_run({});
  engine_.start(run);
  bool cancelled = false, measuring = false;
  const auto elapsed = [this] { return (BenchmarkEngine::steady_now_ns() - engine_.start_time.load()) * 1e-9; };
  while (engine_.running.load()) {
    if (!cancelled && received_stop_signal() != 0) {
      engine_.cancel();
      cancelled = true;
    }
    // Until the measured phase begins the counters may still hold the previous pass's values.
    if (engine_.start_time.load() != 0) {
      if (!measuring && sampler_ != nullptr) sampler_->measured_phase_started();
      measuring = true;
      progress.set_label(pass_label(label, elapsed()));
      progress.update(ProgressSnapshot{engine_.tiles_done.load(), engine_.tile_count.load(), elapsed()});
    }
    std::this_thread::sleep_for(kPollInterval);
  }

  PassRun pass;
  if (busy) pass.warnings.push_back(*busy);
  const bool finished = engine_.result_ready.load();
  if (engine_.start_time.load() != 0) {
    const ProgressSnapshot last{engine_.tiles_done.load(), engine_.tile_count.load(),
                                finished ? engine_.result.time_seconds : elapsed()};
    progress.finish(&last);
  } else {
    progress.finish(nullptr);
  }
  if (const auto failure = engine_.take_failure()) pass.failure = *failure;
  if (!finished || received_stop_signal() != 0) {
    if (sampler_ != nullptr) sampler_->stop_run();
    return pass;
  }
  pass.result = engine_.take_result();
  pass.image_sha256 = sha256_hex(engine_.pixels.snapshot());
  if (sampler_ != nullptr) {
    // A pass that began its measured phase between two polls still gets its start read.
    if (!measuring) sampler_->measured_phase_started();
    sampler_->measured_phase_ended();
    const SensorRecorder record = sampler_->wait_finished();
    pass.sensors = record.summary(pass.result->score);
    const std::optional<SensorOffer> offer = sampler_->offer();
    for (RunWarning& warning :
         run_warnings(std::nullopt, sampler_->on_battery(), record, offer ? offer->temp_limit_c : std::nullopt)) {
      pass.warnings.push_back(std::move(warning));
    }
  }
  return pass;
}
