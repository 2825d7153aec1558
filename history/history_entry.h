#pragma once
// One stored benchmark result, as kept in history.json.
#include <cstdint>
#include <optional>
#include <string>

#include "engine/run_kind.h"
#include "engine/workload.h"

struct HistoryEntry {
  std::string date;  // "%Y-%m-%dT%H:%M:%S" local time, kept as text and never parsed
  std::string cpu;
  std::string type;  // a kind's text (engine/run_kind.h); any other text is kept unchanged
  std::int32_t score = 0;
  double time_seconds = 0.0;
  std::int32_t threads = 0;
  std::int32_t resolution_w = kStandardWorkload.width;
  std::int32_t resolution_h = kStandardWorkload.height;
  std::int32_t samples = kStandardWorkload.samples_per_pixel;

  // The kind `type` names exactly; nothing for any other text, which no kind's logic counts.
  std::optional<RunKind> kind() const { return parse_run_kind(type); }

  friend bool operator==(const HistoryEntry&, const HistoryEntry&) = default;
};
