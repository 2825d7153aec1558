#include "leaderboard_server/rules/processor_summary.h"

#include <algorithm>
#include <unordered_map>

void ProcessorSummary::add(int score, int thread_count, std::string_view day, bool counts) {
  all.add(score);
  if (counts) counted.add(score);
  ++threads[thread_count];
  // Looked up by the view first: most runs fall on a day already there, and need no new string.
  auto it = days.find(day);
  if (it == days.end()) it = days.emplace(std::string(day), DayRuns{0, 0, score, score}).first;
  DayRuns& d = it->second;
  ++d.runs;
  d.sum += score;
  d.lowest = std::min(d.lowest, score);
  d.highest = std::max(d.highest, score);
}

ProcessorRow processor_row(const ProcessorSummary& summary) {
  ProcessorRow row{.cpu = summary.cpu,
                   .runs = summary.all.runs(),
                   .counted_runs = summary.counted.runs(),
                   .avg_score = histogram_average(summary.counted),
                   .spread = histogram_spread(summary.all),
                   .threads = {}};
  for (const auto& [threads, runs] : summary.threads) row.threads.push_back(threads);
  return row;
}

std::string_view day_of(std::string_view submitted_at) { return submitted_at.substr(0, 10); }

std::vector<ProcessorSummary> summarise_runs(std::span<const StoredScore> runs, std::size_t per_client) {
  std::map<std::string, ProcessorSummary> by_name;
  std::map<std::string, std::unordered_map<std::string, std::size_t>> seen;  // name -> sender -> runs so far
  for (const StoredScore& run : runs) {
    ProcessorSummary& s = by_name[run.cpu_name];
    s.cpu = run.cpu_name;
    const bool counts = per_client == 0 || run.client.empty() || ++seen[run.cpu_name][run.client] <= per_client;
    s.add(run.score, run.threads, day_of(run.submitted_at), counts);
  }
  std::vector<ProcessorSummary> out;
  out.reserve(by_name.size());
  for (auto& [name, s] : by_name) out.push_back(std::move(s));
  return out;
}
