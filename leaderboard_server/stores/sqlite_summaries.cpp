#include "leaderboard_server/stores/sqlite_summaries.h"

namespace sqlite {

std::optional<ProcessorSummary> read_summary(ReadStatements& r, std::string_view kind, std::string_view cpu,
                                             bool with_days) {
  ProcessorSummary s;
  s.cpu = cpu;
  std::vector<HistogramBucket> all, counted;
  {
    ResetOnExit reset{r.buckets.get()};
    r.buckets.bind(kind, cpu);
    while (r.buckets.step("summary")) {
      HistogramBucket b{.index = static_cast<int>(r.buckets.integer(1)),
                        .runs = r.buckets.integer(2),
                        .sum = r.buckets.integer(3),
                        .lowest = static_cast<int>(r.buckets.integer(4)),
                        .highest = static_cast<int>(r.buckets.integer(5))};
      (r.buckets.integer(0) ? counted : all).push_back(b);
    }
  }
  if (all.empty()) return std::nullopt;
  try {
    s.all = ScoreHistogram::from_buckets(std::move(all));
    s.counted = ScoreHistogram::from_buckets(std::move(counted));
  } catch (const std::invalid_argument& e) {
    throw StoreError(std::string("sqlite: damaged summary of ") + std::string(cpu) + ": " + e.what());
  }
  {
    ResetOnExit reset{r.threads.get()};
    r.threads.bind(kind, cpu);
    while (r.threads.step("summary")) s.threads[static_cast<int>(r.threads.integer(0))] = r.threads.integer(1);
  }
  if (with_days) {
    ResetOnExit reset{r.days.get()};
    r.days.bind(kind, cpu);
    while (r.days.step("summary"))
      s.days[std::string(r.days.text(0))] = {r.days.integer(1), r.days.integer(2), static_cast<int>(r.days.integer(3)),
                                             static_cast<int>(r.days.integer(4))};
  }
  return s;
}

}  // namespace sqlite
