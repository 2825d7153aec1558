#pragma once
// One stored benchmark result, as kept in history.json.
#include <cstdint>
#include <string>

#include "engine/benchmark_config.h"

struct HistoryEntry {
  std::string date;  // "%Y-%m-%dT%H:%M:%S" local time, kept as text and never parsed
  std::string cpu;
  std::string type;  // "single" or "multi"; any other text is kept unchanged
  std::int32_t score = 0;
  double time_seconds = 0.0;
  std::int32_t threads = 0;
  std::int32_t resolution_w = kStandardWorkload.width;
  std::int32_t resolution_h = kStandardWorkload.height;
  std::int32_t samples = kStandardWorkload.samples_per_pixel;

  friend bool operator==(const HistoryEntry&, const HistoryEntry&) = default;
};
