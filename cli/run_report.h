#pragma once
// What the runner reports about a finished run, as text for people and as one JSON object.
#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

#include "engine/benchmark_run.h"
#include "engine/run_kind.h"
#include "engine/workload.h"
#include "leaderboard_client/comparison_request.h"
#include "system/run_conditions.h"
#include "verify/run_verdict.h"

struct RunReport {
  BenchmarkResult result;
  Workload workload;
  std::string image_sha256;
  RunVerdict verdict;
  bool recorded = false;                     // appended to the history
  std::optional<std::string> submit_status;  // the leaderboard's status text; empty when not submitted
  std::optional<SensorSummary> sensors;      // absent when the run was made without a sensor sampler
  std::vector<RunWarning> warnings;
  // Where the score stands among its processor's runs, asked before the submission; empty when
  // the run was not compared, and not_compared_reason says why.
  std::optional<ComparisonOutcome> comparison;
  std::string not_compared_reason;
};

// Keys in a fixed order, so that scripts and people see the same layout every time.
nlohmann::ordered_json run_report_json(const RunReport& report);
std::string run_report_text(const RunReport& report);

struct RunSummary {
  RunKind kind = RunKind::single;
  int runs = 0;
  // The median is a run of the series, the one median_run() picks, never an average of two.
  std::int32_t median_score = 0, min_score = 0, max_score = 0;
  double median_time = 0, min_time = 0, max_time = 0;  // median_time: the median run's
  double spread_percent = 0;                           // (max time - min time) / median time
  std::optional<std::string> submit_status;            // of the series' median run, when it was submitted
  std::optional<ComparisonOutcome> comparison;         // of the series' median run, when it was compared
  std::string not_compared_reason;
  std::vector<RunWarning> compared_warnings;  // the compared run's, a low result's likely cause
};

// One summary per kind present in `reports`, single first.
std::vector<RunSummary> summarize(const std::vector<RunReport>& reports);
nlohmann::ordered_json run_summary_json(const RunSummary& summary);
std::string run_summary_text(const RunSummary& summary);

// "SMT uplift: +31 % (smt 1310 over single 1000)" from the median runs of both kinds, when the
// series holds verified runs of both; empty otherwise.
std::string smt_uplift_line(const std::vector<RunReport>& reports);

enum class MedianOf { SubmittableRuns, ComparableRuns, AllRuns };

// Of a series of runs of one kind, the run whose score is the median (the lower of the two
// middle ones for an even count, so that a series never claims more than it showed): among the
// runs that may be submitted, those that may be compared, or all of them for the summary.
std::optional<std::size_t> median_run(const std::vector<RunReport>& reports, RunKind kind,
                                      MedianOf among = MedianOf::SubmittableRuns);
