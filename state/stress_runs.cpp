#include "state/stress_runs.h"

#include <utility>
#include <vector>

#include "history/stress_entry.h"
#include "state/app.h"
#include "state/benchmark_runs.h"
#include "system/machine_threads.h"
#include "system/stress_conditions.h"
#include "verify/sha256.h"

namespace {

// Only a whole test of right images on the standard workload and thread count is stored; a
// cancelled or wrong one is shown and dropped.
void end_stress_test(App& app, bool may_record) {
  StressWindowState& stress = app.stress;
  stress.active = false;
  const StressSummary summary = stress.test->summary();
  if (summary.verdict == StressVerdict::cancelled || summary.verdict == StressVerdict::unstable) return;
  app.finished_kind = RunKind::multi;  // the last pass's finished image opens in the viewer
  if (!may_record) return;
  HistoryEntry entry = stress_history_entry(summary, stress.test->passes(), run_threads(app, RunKind::multi),
                                            stress.date, app.system_info.cpu_name);
  for (const RunWarning& w : stress.warnings) entry.warnings.push_back({run_warning_code_text(w.code), w.text});
  stress.recorded = app.history.add(entry);
  collect_history_notices(app);
}

}  // namespace

void start_stress_test(App& app) {
  start_run(app, RunKind::multi);
  app.stress.test.emplace(app.stress.minutes, app.stress.clock());
  app.stress.active = true;
  app.stress.recorded = false;
  app.stress.date.clear();
  app.stress.warnings.clear();
}

void take_stress_pass(App& app) {
  StressWindowState& stress = app.stress;
  const double now = stress.clock();
  if (!app.engine.result_ready.load()) {
    stress.test->cancel(now);  // the engine stopped without a result: Cancel
    stress.active = false;
    return;
  }
  const BenchmarkResult result = app.engine.take_result();
  const std::string hash = sha256_hex(app.engine.pixels.snapshot());
  const RunRequest run{.workload = app.reference.workload, .kind = result.kind, .threads = result.threads};
  const RunVerdict verdict = judge_run(app.reference, run, machine_threads(app.system_info), hash);
  app.shown_run_seconds = result.time_seconds;
  app.finished_date = result.date;  // names the last pass's image in the viewer; the next start clears it
  if (stress.test->passes().empty()) stress.date = result.date;
  StressPass pass{.score = result.score, .time_seconds = result.time_seconds, .image_sha256 = hash, .sensors = {}};
  // The engine published the result after the sampler's end read, so this never waits.
  if (app.run_monitor) {
    if (const auto conditions = app.run_monitor->finished_run(result.score)) {
      pass.sensors = conditions->sensors;
      merge_run_warnings(stress.warnings, conditions->warnings);
    }
  }
  const bool more = stress.test->add_pass(std::move(pass), verdict.image_verified, now);
  if (auto fell = clock_fell_between_passes(stress.test->passes())) merge_run_warnings(stress.warnings, {*fell});
  // The warnings under the scores and the graph's summary are the whole test's so far.
  app.finished_conditions.assign(1, {RunKind::multi, RunConditions{stress.test->summary().sensors, stress.warnings}});
  if (more && app.run_cancelled) {
    stress.test->cancel(now);  // Cancel came as the pass ended: it counts, no further one runs
  } else if (more) {
    start_run(app, RunKind::multi);
    return;
  }
  end_stress_test(app, verdict.may_record);
}
