#pragma once
// What the runner reports about a finished run, as text for people and as one JSON object.
#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

#include "engine/benchmark_config.h"

struct RunReport {
  BenchmarkResult result;
  BenchmarkConfig config;
  std::string image_sha256;
  std::optional<bool> verified;  // empty for a custom workload
  bool custom = false;
  bool recorded = false;  // appended to the history
};

// Keys in a fixed order, so that scripts and people see the same layout every time.
nlohmann::ordered_json run_report_json(const RunReport& report);
std::string run_report_text(const RunReport& report);

struct RunSummary {
  std::string kind;
  int runs = 0;
  double median_score = 0, min_score = 0, max_score = 0;
  double median_time = 0, min_time = 0, max_time = 0;
  double spread_percent = 0;  // (max time - min time) / median time
};

// One summary per kind present in `reports`, single first.
std::vector<RunSummary> summarize(const std::vector<RunReport>& reports);
nlohmann::ordered_json run_summary_json(const RunSummary& summary);
std::string run_summary_text(const RunSummary& summary);

double median(std::vector<double> values);
