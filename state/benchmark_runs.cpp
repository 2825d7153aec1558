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
  app.viewer.open = false;  // its image is about to be cleared
  app.shown_run_seconds = 0.0;
  app.run_progress = RemainingTimeEstimator(queued_tile_costs(run.workload));
  app.run_estimate = std::string(run_kind_title(kind)) + ", " + std::to_string(run.threads) +
                     (run.threads == 1 ? " thread, " : " threads, ") +
                     (is_standard_workload(run.workload) ? "standard workload: " : "custom workload: ") +
                     format_estimate(estimate_run_seconds(run));
  app.engine.start(run);
}

void record_and_submit(App& app, const BenchmarkResult& result, const RunVerdict& verdict) {
  if (verdict.may_record) {
    app.history.add(entry_from_result(result, app.system_info.cpu_name));
    collect_history_notices(app);
  }
  if (verdict.may_submit) {
    if (app.leaderboard.submissions_enabled()) {
      // From here the status is this submission's (state/score_trust.h follows it).
      std::lock_guard lock(app.leaderboard.status_mutex);
      app.leaderboard.submit_status = "Submitting...";
    }
    app.leaderboard.submit(app.system_info.cpu_name, result.kind, result.score, result.threads);
  } else if (!verdict.not_submitted_reason.empty()) {
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
  record_and_submit(app, run.result, run.verdict);
  note_score_trust(app, run.result.kind, run.verdict);
  if (run.verdict.image_verified != true) app.unverified_kind = run.result.kind;
  return run;
}
