#pragma once
// What one invocation of the runner asks for, after parsing and validation.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/benchmark_config.h"

enum class RunKind { Single, Multi, Both };

struct RunOptions {
  RunKind kind = RunKind::Multi;
  std::optional<std::int32_t> threads;  // --threads: every run uses this many workers
  std::int32_t repeat = 1;
  std::string image_path;  // --image: PNG of the last finished image
  std::int32_t width = 1920;
  std::int32_t height = 1080;
  std::int32_t samples = 128;
  std::int32_t depth = 50;
  std::int32_t tile = 32;
  bool json = false;
  bool record_history = true;  // --no-history turns it off
  bool submit = true;          // --no-submit turns it off
};

// The configurations to run, in order: single before multi, each repeated.
std::vector<BenchmarkConfig> planned_runs(const RunOptions& options, std::int32_t hardware_threads);

// A run is custom when its workload is not the standard one or its thread count is not the
// standard count of its kind; custom runs are never recorded or submitted.
bool is_custom_run(const BenchmarkConfig& config, std::int32_t hardware_threads);

// Parses "WxH"; nullopt when malformed, not positive, or when the image's bytes overflow 32 bits.
std::optional<std::pair<std::int32_t, std::int32_t>> parse_image_size(const std::string& text);
