#include "ui/run_control.h"

#include <utility>

#include "history/record_result.h"
#include "state/app.h"
#include "state/gpu_backend.h"
#include "verify/sha256.h"

void start_run(App& app, std::int32_t threads) {
  BenchmarkConfig config = app.workload.config;
  config.thread_count = threads;
  if (app.gpu != nullptr) app.gpu->create_texture(config.width, config.height);
  app.unverified_kind.clear();
  app.run_failure.clear();
  app.run_cancelled = false;
  app.finished_kind.clear();
  app.finished_date.clear();
  app.viewer.open = false;  // its image is about to be cleared
  app.shown_run_seconds = 0.0;
  app.engine.start(config);
}

void record_result(App& app, const BenchmarkResult& result) {
  app.history.add(entry_from_result(result, app.system_info.cpu_name));
  collect_history_notices(app);
  app.leaderboard.submit(app.system_info.cpu_name, result.type, result.score, result.threads);
}

FinishedRun take_finished_run(App& app) {
  FinishedRun run;
  run.result = app.engine.take_result();
  // Hashed now: the next start clears the image, and in Run Both that start is this frame.
  const std::vector<std::uint8_t> image = app.engine.pixels.snapshot();
  run.verified = sha256_hex(image) == app.workload.reference_sha256;
  app.shown_run_seconds = run.result.time_seconds;
  app.run_cancelled = false;  // the cancel came too late: the run finished
  app.finished_kind = run.result.type;
  app.finished_date = run.result.date;
  if (run.result.type == "single") {
    app.single_score = run.result.score;
  } else {
    app.multi_score = run.result.score;
  }
  if (run.verified) {
    record_result(app, run.result);
  } else {
    app.unverified_kind = run.result.type == "single" ? "single" : "multi";
  }
  return run;
}
