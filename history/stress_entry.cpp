#include "history/stress_entry.h"

#include <utility>

HistoryEntry stress_history_entry(const StressSummary& summary, std::span<const StressPass> passes,
                                  std::int32_t threads, const std::string& date, const std::string& cpu_name) {
  HistoryEntry e;
  e.date = date;
  e.cpu = cpu_name;
  e.type = kStressEntryType;
  e.score = summary.median_score;
  e.time_seconds = summary.elapsed_seconds;
  e.threads = threads;
  e.sensors = summary.sensors;
  HistoryStress stress{.passes = {passes.begin(), passes.end()},
                       .stability_percent = summary.stability_percent,
                       .verdict = stress_verdict_text(summary.verdict)};
  // The file keeps no image hashes: every stored pass matched its reference.
  for (StressPass& pass : stress.passes) pass.image_sha256.clear();
  e.stress = std::move(stress);
  return e;
}
