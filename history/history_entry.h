#pragma once
// One stored benchmark result, as kept in history.json.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/run_kind.h"
#include "engine/run_sensors.h"
#include "engine/stress_test.h"
#include "engine/workload.h"

// One of the run's `warnings`; the code is kept as text ("battery", "background_load",
// "throttling", or a code of a later version).
struct HistoryWarning {
  std::string code;
  std::string text;
  friend bool operator==(const HistoryWarning&, const HistoryWarning&) = default;
};

// A stress test's own keys (type "stress"): its passes (score, time, sensors; no image hash),
// the lowest pass score over the highest in percent, and the verdict's text.
struct HistoryStress {
  std::vector<StressPass> passes;
  double stability_percent = 0.0;
  std::string verdict;
  friend bool operator==(const HistoryStress&, const HistoryStress&) = default;
};

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
  std::optional<SensorSummary> sensors;
  // The core type a single-core or SMT run ran on ("P"), on a machine that mixes types.
  std::optional<std::string> core_type{};
  std::vector<HistoryWarning> warnings;
  std::optional<HistoryStress> stress;  // `passes`, `stability_percent`, `verdict`
  // Every other key of the run object as it was read, as JSON text, so that a rewrite by this
  // version keeps what older and newer versions store. `sensors`, `warnings` and `core_type` and the stress keys as
  // read are kept here too and written back unchanged; the fields above are written only for a run that was not read
  // from the file.
  std::map<std::string, std::string> unknown_json;

  // The kind `type` names exactly; nothing for any other text, which no kind's logic counts.
  std::optional<RunKind> kind() const { return parse_run_kind(type); }

  friend bool operator==(const HistoryEntry&, const HistoryEntry&) = default;
};
