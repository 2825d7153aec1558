#pragma once
// The two records that cross the engine's boundary: what a run renders, and what it produced.
#include <cstdint>
#include <string>

struct BenchmarkConfig {
  std::int32_t samples_per_pixel;
  std::int32_t max_depth;
  std::int32_t tile_size;
  std::int32_t thread_count;
  std::int32_t width;
  std::int32_t height;
};

struct BenchmarkResult {
  std::string type;  // "single" or "multi"
  std::int32_t score = 0;
  double time_seconds = 0.0;
  std::int32_t threads = 0;
  std::string date;  // local time, "%Y-%m-%dT%H:%M:%S"
};

// The kind of a run follows from its thread count alone: exactly 1 is "single".
inline const char* kind_for_thread_count(std::int32_t thread_count) { return thread_count == 1 ? "single" : "multi"; }

// The standard workload, the one image every machine renders and every standard run is timed on;
// only the thread count differs between the kinds. Every other place takes its numbers from here.
inline constexpr BenchmarkConfig kStandardWorkload{128, 50, 32, 1, 1920, 1080};

inline constexpr BenchmarkConfig standard_config(std::int32_t thread_count) {
  BenchmarkConfig config = kStandardWorkload;
  config.thread_count = thread_count;
  return config;
}
