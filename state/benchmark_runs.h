#pragma once
// Starting runs and taking their results: the application's workflow behind the benchmark
// panel's buttons and its result intake (hash, judge, record, submit), kept apart from drawing
// so that the window's path can be driven and tested without a GUI.
#include <cstdint>

#include "engine/benchmark_config.h"
#include "verify/run_verdict.h"

struct App;

// The Multi-Core button's thread count: the processors this process may use.
std::int32_t multi_core_threads(const App& app);

// Prepares the preview texture for the workload's size and starts a run on `threads` workers.
// The caller has checked that no run is in progress.
void start_run(App& app, std::int32_t threads);

// Stores a taken result in the history and submits it to the leaderboard, as far as its verdict
// allows.
void record_and_submit(App& app, const BenchmarkResult& result, const RunVerdict& verdict);

// What became of a finished run taken from the engine.
struct FinishedRun {
  BenchmarkResult result;
  RunVerdict verdict;  // recorded and submitted only when the verdict allows it
};

// Takes the engine's result, checks the finished image against the reference before anything
// can overwrite it, shows the score, and records and submits the run only when the image is
// right; otherwise marks the kind unverified. The engine must be idle with result_ready set.
FinishedRun take_finished_run(App& app);
