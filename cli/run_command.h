#pragma once
// `strelvik-cli single|multi|both`: runs the benchmarks, shows progress, reports each run.
#include <functional>

#include "cli/run_options.h"
#include "cli/run_report.h"
#include "engine/worker_placement.h"
#include "system/run_monitor.h"

// Appends a finished run to the history and says whether it was recorded. Called only for
// verified standard runs; custom and unverified runs are never recorded.
using RunRecorder = std::function<bool(const RunReport&)>;

// Submits a run to the online leaderboard, waits for the outcome and returns its status text
// ("Submitted OK (...)" or "Submit error: ..."). Called after recording, only for verified
// standard runs; with --repeat only for the median run of each kind, once the series is done.
using RunSubmitter = std::function<std::string(const RunReport&)>;

// Places a run's score among its processor's runs on the leaderboard and waits for the outcome.
// Called before the submission (the run is not yet among them), for the runs that would be
// submitted, even when submissions are off; with --repeat only for each kind's median run.
using RunComparer = std::function<ComparisonOutcome(const RunReport&)>;

// Exit codes: 0 done, 1 a run could not run (or the image could not be written), 2 the --image
// file cannot be written (checked before any run), 3 an image did
// not match the reference, 128 + signal when interrupted. A failed submission does not change it.
// The workers are placed by `placement`: the platform's (system/processor_groups.h) in the runner.
// With a `monitor` each run also carries its sensors and warnings, and a warning that keeps a
// run off the leaderboard (system/run_conditions.h) stops its submission.
int run_benchmarks(const RunOptions& options, const WorkerPlacement& placement, const RunRecorder& recorder,
                   const RunSubmitter& submitter = {}, const RunComparer& comparer = {}, RunMonitor* monitor = nullptr);
