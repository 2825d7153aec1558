#pragma once
// The standard image (kStandardWorkload in engine/benchmark_config.h) is fixed forever: every
// correct machine, compiler and thread count renders the same bytes. A run whose image differs
// was computed wrongly (an unstable overclock, a broken build) and its score means nothing.
#include "engine/benchmark_config.h"

// SHA-256 of the finished standard image's RGBA bytes.
extern const char* const kStandardImageSha256;

// True when the configuration renders the standard image (any thread count).
bool is_standard_workload(const BenchmarkConfig& config);
