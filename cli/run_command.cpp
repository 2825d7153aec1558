#include "cli/run_command.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <thread>

#include "cli/progress_reporter.h"
#include "cli/run_comparison.h"
#include "cli/terminal_size.h"
#include "engine/benchmark_engine.h"
#include "engine/run_estimate.h"
#include "engine/tile_order.h"
#include "system/core_placement.h"
#include "system/machine_threads.h"
#include "system/png_writer.h"
#include "system/sensor_series_copy.h"
#include "system/stop_signal.h"
#include "verify/run_verdict.h"
#include "verify/sha256.h"

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(200);

std::string run_label(const RunRequest& run) {
  return std::string(run_kind_text(run.kind)) + " (" + std::to_string(run.threads) +
         (run.threads == 1 ? " thread)" : " threads)");
}

// The sampler's latest clock and temperature for the progress line; none without a sampler.
void show_sensors(ProgressReporter& progress, SensorSeriesCopy& sensors, const RunMonitor* monitor) {
  if (monitor == nullptr) return;
  sensors.update(monitor->sampler());
  progress.set_sensors(sensors.latest().clock_mhz, sensors.latest().temp_c);
}

// What runs and for how long, before it starts: "multi (2 threads), standard workload (...):
// about 23 min; Ctrl-C cancels".
std::string start_of_run_line(const RunRequest& run, double estimate_seconds) {
  return run_label(run) + ", " + describe_workload(run.workload) + ": " + format_estimate(estimate_seconds) +
         "; Ctrl-C cancels";
}

// Polls the engine until the run ends, showing progress; cancels it on Ctrl-C.
void wait_for_run(BenchmarkEngine& engine, ProgressReporter& progress, const RunMonitor* monitor) {
  SensorSeriesCopy sensors;
  bool cancelled = false;
  while (engine.running.load()) {
    if (!cancelled && received_stop_signal() != 0) {
      engine.cancel();
      cancelled = true;
    }
    // Until the measured phase begins the counters may still hold the previous run's values.
    if (const std::int64_t start = engine.start_time.load(); start != 0) {
      show_sensors(progress, sensors, monitor);
      progress.update(ProgressSnapshot{engine.tiles_done.load(), engine.tile_count.load(),
                                       (BenchmarkEngine::steady_now_ns() - start) * 1e-9});
    }
    std::this_thread::sleep_for(kPollInterval);
  }
  // The last poll may have been well before the end: the line shows the run as it ended, with
  // the measured time once there is a result.
  if (const std::int64_t start = engine.start_time.load(); start != 0) {
    const double elapsed =
        engine.result_ready.load() ? engine.result.time_seconds : (BenchmarkEngine::steady_now_ns() - start) * 1e-9;
    show_sensors(progress, sensors, monitor);
    const ProgressSnapshot last{engine.tiles_done.load(), engine.tile_count.load(), elapsed};
    progress.finish(&last);
  } else {
    progress.finish(nullptr);
  }
}

// `smt` alone on a machine without SMT runs nothing and says why; `all` leaves the kind out.
std::string unavailable_run_reason(const RunOptions& options, const MachineThreads& machine) {
  if (machine.smt > 0 || options.kinds != std::vector<RunKind>{RunKind::smt}) return {};
  return this_machine_smt_placement().unavailable_reason;
}

}  // namespace

int run_benchmarks(const RunOptions& options, const WorkerPlacement& placement, const RunRecorder& recorder,
                   const RunSubmitter& submitter, const RunComparer& comparer, RunMonitor* monitor) {
  // A name that could never be written is refused before the run, not after it.
  if (!options.image_path.empty()) {
    if (const std::string problem = png_target_problem(options.image_path); !problem.empty()) {
      std::fprintf(stderr, "strelvik-cli: --image %s cannot be written: %s\n", options.image_path.c_str(),
                   problem.c_str());
      return 2;
    }
  }
  install_stop_signal_handlers();
  std::FILE* human = options.json ? stderr : stdout;
  const bool interactive = isatty(STDERR_FILENO) != 0;
  if (interactive) watch_terminal_size();
  // A multi-core run uses the processors this process may use, not every one the machine has.
  const MachineThreads machine = this_machine_threads();
  if (const std::string refused = unavailable_run_reason(options, machine); !refused.empty()) {
    std::fprintf(stderr, "strelvik-cli: %s\n", refused.c_str());
    return 2;
  }

  BenchmarkEngine engine(placement);
  if (monitor != nullptr) engine.set_phase_hooks(monitor->phase_hooks());
  std::vector<RunReport> reports;
  std::vector<std::uint8_t> last_image;
  int exit_code = 0;

  for (const RunRequest& run : planned_runs(options, machine)) {
    // The remaining-time estimate weighs the tiles by their counted costs where they were
    // counted (the standard workload); a custom run waits for a tenth of its tiles instead.
    const std::vector<double> costs = queued_tile_costs(run.workload);
    ProgressReporter progress(stderr, interactive, run_label(run), RemainingTimeEstimator(costs));
    std::fprintf(stderr, "%s\n", start_of_run_line(run, estimate_run_seconds(run)).c_str());
    engine.start(run);
    wait_for_run(engine, progress, monitor);

    if (const int signal_number = received_stop_signal(); signal_number != 0) {
      std::fprintf(stderr, "Cancelled; no result.\n");
      return 128 + signal_number;  // 130 for Ctrl-C
    }
    if (const auto failure = engine.take_failure()) {
      std::fprintf(stderr, "strelvik-cli: %s\n", failure->c_str());
      return 1;
    }
    if (!engine.result_ready.load()) {
      std::fprintf(stderr, "strelvik-cli: the run ended without a result\n");
      return 1;
    }

    RunReport report;
    report.result = engine.take_result();
    report.workload = run.workload;
    last_image = engine.pixels.snapshot();
    report.image_sha256 = sha256_hex(last_image);
    report.verdict = judge_run(options.reference, run, machine, report.image_sha256);
    if (monitor != nullptr) {
      // The engine published the result after the sampler's end read, so the record is complete.
      if (const auto conditions = monitor->finished_run(report.result.score)) {
        report.sensors = conditions->sensors;
        report.warnings = conditions->warnings;
        hold_back_for_warnings(report.verdict, report.warnings);
      }
    }
    if (recorder && report.verdict.may_record) {
      report.recorded = recorder(report);
    }
    // A series is compared and submitted once, by its median run, after the last run.
    if (comparer && options.repeat == 1 && report.verdict.may_compare) {
      report.comparison = comparer(report);
    } else {
      report.not_compared_reason = not_compared_reason(report.verdict, options.repeat > 1);
    }
    if (submitter && options.repeat == 1 && report.verdict.may_submit) {
      report.submit_status = submitter(report);
    } else if (!report.verdict.not_submitted_reason.empty()) {
      report.submit_status = report.verdict.not_submitted_reason;
    }

    std::fputs(run_report_text(report).c_str(), human);
    if (options.json) {
      std::cout << run_report_json(report).dump() << std::endl;
    }
    reports.push_back(report);
    if (report.verdict.image_verified == false) {
      exit_code = 3;  // a machine that computes wrongly: its further runs mean nothing either
      break;
    }
  }

  if (!options.image_path.empty() && !last_image.empty()) {
    if (const std::string problem = write_png(options.image_path, engine.width, engine.height, last_image);
        !problem.empty()) {
      std::fprintf(stderr, "strelvik-cli: could not write the image to %s: %s\n", options.image_path.c_str(),
                   problem.c_str());
      exit_code = exit_code == 0 ? 1 : exit_code;
    }
  }
  if (options.repeat > 1 && exit_code == 0) {
    for (RunSummary& summary : summarize(reports)) {
      const auto compared = median_run(reports, summary.kind, MedianOf::ComparableRuns);
      if (comparer && compared) {
        summary.comparison = comparer(reports[*compared]);
        summary.compared_warnings = reports[*compared].warnings;
      } else {
        summary.not_compared_reason = "no run of the series may be compared";
      }
      const auto median = median_run(reports, summary.kind);
      if (submitter && median) {
        summary.submit_status = submitter(reports[*median]);
      } else {
        for (const RunReport& report : reports) {
          if (report.result.kind == summary.kind && !report.verdict.not_submitted_reason.empty()) {
            summary.submit_status = report.verdict.not_submitted_reason;
          }
        }
      }
      std::fputs(run_summary_text(summary).c_str(), human);
      if (options.json) {
        std::cout << run_summary_json(summary).dump() << std::endl;
      }
    }
  }
  std::fputs(smt_uplift_line(reports).c_str(), human);
  return exit_code;
}
