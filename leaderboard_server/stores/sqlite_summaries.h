#pragma once
// The statements that keep and read one processor's summary in SQLite.

#include "leaderboard_server/rules/processor_summary.h"
#include "leaderboard_server/stores/sqlite_connection.h"

#include <optional>
#include <string_view>

namespace sqlite {

// The statements that keep one processor's summary, on the writer connection.
struct SummaryStatements {
  explicit SummaryStatements(sqlite3* db)
      : state(db, "SELECT ready, runs_counted_per_client FROM summary_state"),
        count_run(db,
                  "INSERT INTO processor_summaries"
                  " (kind, cpu_name, runs, avg_score, min, p10, median, p90, max, threads, counted_runs)"
                  " VALUES (?1, ?2, 1, 0, 0, 0, 0, 0, 0, '', 0)"
                  " ON CONFLICT (kind, cpu_name) DO UPDATE SET runs = runs + 1"),
        count_sender(db,
                     "INSERT INTO summary_senders (kind, cpu_name, client, runs) VALUES (?1, ?2, ?3, 1)"
                     " ON CONFLICT (kind, cpu_name, client) DO UPDATE SET runs = runs + 1 RETURNING runs"),
        add_bucket(db,
                   "INSERT INTO summary_buckets (kind, cpu_name, counted, bucket, runs, sum, lowest, highest)"
                   " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8) ON CONFLICT (kind, cpu_name, counted, bucket) DO UPDATE"
                   " SET runs = runs + excluded.runs, sum = sum + excluded.sum,"
                   " lowest = min(lowest, excluded.lowest), highest = max(highest, excluded.highest)"),
        add_threads(db,
                    "INSERT INTO summary_threads (kind, cpu_name, threads, runs) VALUES (?1, ?2, ?3, ?4)"
                    " ON CONFLICT (kind, cpu_name, threads) DO UPDATE SET runs = runs + excluded.runs"),
        add_day(db,
                "INSERT INTO summary_days (kind, cpu_name, day, runs, sum, lowest, highest)"
                " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7) ON CONFLICT (kind, cpu_name, day) DO UPDATE"
                " SET runs = runs + excluded.runs, sum = sum + excluded.sum,"
                " lowest = min(lowest, excluded.lowest), highest = max(highest, excluded.highest)"),
        put_sender(db, "INSERT INTO summary_senders (kind, cpu_name, client, runs) VALUES (?1, ?2, ?3, ?4)"),
        put_row(db,
                "INSERT OR REPLACE INTO processor_summaries"
                " (kind, cpu_name, runs, avg_score, min, p10, median, p90, max, threads, counted_runs)"
                " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)") {}
  Statement state, count_run, count_sender, add_bucket, add_threads, add_day, put_sender, put_row;
};

// The statements of the summary reads, on the reader connection (and the writer's, for the row
// it recomputes after an insert).
struct ReadStatements {
  explicit ReadStatements(sqlite3* db)
      : rows(db,
             "SELECT cpu_name, runs, avg_score, min, p10, median, p90, max, threads, counted_runs"
             " FROM processor_summaries"
             " WHERE kind = ?1"),
        buckets(db,
                "SELECT counted, bucket, runs, sum, lowest, highest FROM summary_buckets"
                " WHERE kind = ?1 AND cpu_name = ?2 ORDER BY counted, bucket"),
        threads(db, "SELECT threads, runs FROM summary_threads WHERE kind = ?1 AND cpu_name = ?2 ORDER BY threads"),
        days(
            db,
            "SELECT day, runs, sum, lowest, highest FROM summary_days WHERE kind = ?1 AND cpu_name = ?2 ORDER BY day") {
  }
  Statement rows, buckets, threads, days;
};

// A processor's histograms and thread counts (and days when asked), or nothing without runs.
std::optional<ProcessorSummary> read_summary(ReadStatements& r, std::string_view kind, std::string_view cpu,
                                             bool with_days);

}  // namespace sqlite
