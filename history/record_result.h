#pragma once
// Storing a finished run in the history file, for the programs that produce results.
#include <string>
#include <vector>

#include "engine/benchmark_run.h"
#include "history/history_entry.h"
#include "history/results_history.h"

// The entry for a result: date, type, score, time and threads from the result, the processor
// name from the machine's facts, and the standard resolution and sample count.
HistoryEntry entry_from_result(const BenchmarkResult& result, const std::string& cpu_name);

struct RecordOutcome {
  bool recorded = false;
  std::vector<std::string> messages;  // for the user: a file moved aside, a failed save
  std::string path;                   // the history file used
};

// Appends the result to the history file at its usual place (or to `history`). The caller
// decides which runs count: verified standard runs only.
RecordOutcome record_result(const BenchmarkResult& result, const std::string& cpu_name);
RecordOutcome record_result(ResultsHistory& history, const BenchmarkResult& result, const std::string& cpu_name);
// The same for an entry the caller completed (the run's sensors and warnings).
RecordOutcome record_entry(const HistoryEntry& entry);
