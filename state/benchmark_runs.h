#pragma once
// Starting runs and taking their results: the application's workflow behind the benchmark
// panel's buttons and its result intake (hash, judge, record, submit), kept apart from drawing
// so that the window's path can be driven and tested without a GUI.
#include <cstdint>
#include <optional>

#include "engine/benchmark_run.h"
#include "engine/run_kind.h"
#include "system/run_monitor.h"
#include "verify/run_verdict.h"

struct App;

// The workers of the window's run of a kind: 1 for Single-Core, the processors this process may
// use for Multi-Core (verify/run_verdict.h's standard_threads).
std::int32_t run_threads(const App& app, RunKind kind);

// Prepares the preview texture for the workload's size and starts a run of `kind` on
// run_threads(app, kind) workers, or on `threads` (a custom run, for measurement programs). The
// caller has checked that no run is in progress.
void start_run(App& app, RunKind kind, std::optional<std::int32_t> threads = std::nullopt);

// Stores a taken result in the history (with its sensors and warnings, when measured) and
// submits it to the leaderboard, as far as its verdict allows.
void record_and_submit(App& app, const BenchmarkResult& result, const RunVerdict& verdict,
                       const RunConditions* conditions = nullptr);

// What became of a finished run taken from the engine.
struct FinishedRun {
  BenchmarkResult result;
  RunVerdict verdict;  // recorded and submitted only when the verdict allows it
};

// Takes the engine's result, checks the finished image against the reference before anything
// can overwrite it, shows the score, and records and submits the run only when the image is
// right; otherwise marks the kind unverified. A run the sensors' warnings keep back
// (system/run_conditions.h) is recorded but not submitted. The engine must be idle with
// result_ready set.
FinishedRun take_finished_run(App& app);
