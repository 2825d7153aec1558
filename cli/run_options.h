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
  std::optional<std::int32_t> threads;  // --threads (multi only): workers of the multi-core runs
  std::int32_t repeat = 1;
  std::string image_path;  // --image: PNG of the last finished image
  std::int32_t width = kStandardWorkload.width;
  std::int32_t height = kStandardWorkload.height;
  std::int32_t samples = kStandardWorkload.samples_per_pixel;
  std::int32_t depth = kStandardWorkload.max_depth;
  std::int32_t tile = kStandardWorkload.tile_size;
  bool json = false;
  bool record_history = true;  // --no-history turns it off
  bool submit = true;          // --no-submit turns it off
};

// The configurations to run, in order: single before multi, each repeated.
std::vector<BenchmarkConfig> planned_runs(const RunOptions& options, std::int32_t hardware_threads);

// Parses "WxH"; nullopt when malformed, not positive, or when the image's bytes overflow 32 bits.
std::optional<std::pair<std::int32_t, std::int32_t>> parse_image_size(const std::string& text);
