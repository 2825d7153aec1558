#pragma once
// `strelvik-cli single|multi|both`: runs the benchmarks, shows progress, reports each run.
#include <functional>
#include <optional>

#include "cli/run_options.h"
#include "cli/run_report.h"

// Decides whether a finished run is recorded in the history: nullopt when recording does not
// apply (turned off), else whether it was recorded. Called only for verified standard runs.
using RunRecorder = std::function<std::optional<bool>(const RunReport&)>;

// Exit codes: 0 done, 1 a run could not run (or the image could not be written), 3 an image did
// not match the reference, 128 + signal when interrupted.
int run_benchmarks(const RunOptions& options, const RunRecorder& recorder);
