#include "state/benchmark_runs.h"

#include <mutex>
#include <utility>

#include "engine/run_estimate.h"
#include "engine/tile_order.h"
#include "history/record_result.h"
#include "state/app.h"
#include "state/gpu_backend.h"
#include "system/machine_threads.h"
#include "verify/sha256.h"

std::int32_t run_threads(const App& app, RunKind kind) {
  return standard_threads(kind, machine_threads(app.system_info));
}

void start_run(App& app, RunKind kind, std::optional<std::int32_t> threads) {
  const RunRequest run{
      .workload = app.reference.workload, .kind = kind, .threads = threads.value_or(run_threads(app, kind))};
  if (app.gpu != nullptr) app.gpu->create_texture(run.workload.width, run.workload.height);
  app.unverified_kind.reset();
  app.run_failure.clear();
  app.run_cancelled = false;
  app.finished_kind.reset();
  app.finished_date.clear();
  app.leaderboard.clear_comparison(kind);
  app.viewer.open = false;                          // its image is about to be cleared
  if (!app.stress.active) app.stress.test.reset();  // a plain run replaces the last test's figures
  app.shown_run_seconds = 0.0;
  // The second run of Run Both keeps the first one's warnings beside its score, and a stress
  // test's later passes those of the test so far.
  if (!(app.run_both && app.run_both_single_done) && !app.stress.active) app.finished_conditions.clear();
  // A stress test's later passes keep the first pass's load check: no 2 s idle between passes.
  if (app.run_monitor) app.run_monitor->set_load_check(!app.stress.active);
  app.run_progress = RemainingTimeEstimator(queued_tile_costs(run.workload));
  // A stress test's later passes keep the first pass's estimate: tracing sample tiles again on
  // this thread would stall the window between passes for the same answer.
  const bool later_pass = app.stress.active && app.stress.test && !app.stress.test->passes().empty();
  if (!later_pass)
    app.run_estimate = std::string(run_kind_title(kind)) + ", " + std::to_string(run.threads) +
                       (run.threads == 1 ? " thread, " : " threads, ") +
                       (is_standard_workload(run.workload) ? "standard workload: " : "custom workload: ") +
                       format_estimate(estimate_run_seconds(run));
  app.engine.start(run);
}

void record_and_submit(App& app, const BenchmarkResult& result, const RunVerdict& verdict,
                       const RunConditions* conditions) {
  if (verdict.may_record) {
    HistoryEntry entry = entry_from_result(result, app.system_info.cpu_name);
    if (conditions != nullptr) {
      entry.sensors = conditions->sensors;
      for (const RunWarning& w : conditions->warnings)
        entry.warnings.push_back({run_warning_code_text(w.code), w.text});
    }
    app.history.add(entry);
    collect_history_notices(app);
  }
  if (verdict.may_submit && app.leaderboard.submissions_enabled()) {
    // From here the status is this submission's (state/score_trust.h follows it).
    std::lock_guard lock(app.leaderboard.status_mutex);
    app.leaderboard.submit_status = "Submitting...";
  }
  if (verdict.may_compare) {
    // The comparison comes first, on the same request thread: the run is not yet among its runs.
    // A run its warnings keep back is still compared, since viewing is allowed.
    app.leaderboard.compare_then_submit(app.system_info.cpu_name, result.kind, result.score, result.threads,
                                        verdict.may_submit);
  }
  if (!verdict.may_submit && !verdict.not_submitted_reason.empty()) {
    // The leaderboard panel's status line says why this run stayed local.
    std::lock_guard lock(app.leaderboard.status_mutex);
    app.leaderboard.submit_status = std::string(run_kind_title(result.kind)) + " run " + verdict.not_submitted_reason;
  }
}

FinishedRun take_finished_run(App& app) {
  FinishedRun run;
  run.result = app.engine.take_result();
  // Hashed now: the next start clears the image, and in Run Both that start is this frame.
  const std::vector<std::uint8_t> image = app.engine.pixels.snapshot();
  const RunRequest request{.workload = app.reference.workload, .kind = run.result.kind, .threads = run.result.threads};
  run.verdict = judge_run(app.reference, request, machine_threads(app.system_info), sha256_hex(image));
  app.shown_run_seconds = run.result.time_seconds;
  app.run_cancelled = false;  // the cancel came too late: the run finished
  app.finished_kind = run.result.kind;
  app.finished_date = run.result.date;
  shown_score(app, run.result.kind) = run.result.score;
  // The engine published the result after the sampler's end read, so this never waits.
  std::optional<RunConditions> conditions;
  if (app.run_monitor) conditions = app.run_monitor->finished_run(run.result.score);
  if (conditions) {
    hold_back_for_warnings(run.verdict, conditions->warnings);
    app.finished_conditions.emplace_back(run.result.kind, *conditions);
  }
  record_and_submit(app, run.result, run.verdict, conditions ? &*conditions : nullptr);
  note_score_trust(app, run.result.kind, run.verdict);
  if (run.verdict.image_verified != true) app.unverified_kind = run.result.kind;
  return run;
}
