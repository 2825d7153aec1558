#include "history/record_result.h"

HistoryEntry entry_from_result(const BenchmarkResult& result, const std::string& cpu_name) {
  HistoryEntry e;
  e.date = result.date;
  e.cpu = cpu_name;
  e.type = run_kind_text(result.kind);
  e.score = result.score;
  e.time_seconds = result.time_seconds;
  e.threads = result.threads;
  e.core_type = result.core_type;
  return e;
}

namespace {

RecordOutcome add_entry(ResultsHistory& history, const HistoryEntry& entry) {
  RecordOutcome out;
  out.path = history.path();
  out.recorded = history.add(entry);
  out.messages = history.take_notices();
  return out;
}

}  // namespace

RecordOutcome record_result(ResultsHistory& history, const BenchmarkResult& result, const std::string& cpu_name) {
  return add_entry(history, entry_from_result(result, cpu_name));
}

RecordOutcome record_entry(const HistoryEntry& entry) {
  ResultsHistory history;
  history.load();
  return add_entry(history, entry);
}

RecordOutcome record_result(const BenchmarkResult& result, const std::string& cpu_name) {
  ResultsHistory history;
  history.load();
  return record_result(history, result, cpu_name);
}
