#include "leaderboard_server/stores/postgres_summaries.h"
#include "leaderboard_server/stores/summary_schema.h"

namespace postgres {

// A value in COPY's text form: the four characters it treats specially escaped.
void append_copy_field(std::string& line, std::string_view v) {
  for (const char ch : v) {
    switch (ch) {
      case '\\': line += "\\\\"; break;
      case '\t': line += "\\t"; break;
      case '\n': line += "\\n"; break;
      case '\r': line += "\\r"; break;
      default: line += ch;
    }
  }
}

std::optional<ProcessorSummary> read_summary(PGconn* c, std::string_view kind, std::string_view cpu, bool with_days) {
  ProcessorSummary s;
  s.cpu = cpu;
  std::vector<HistogramBucket> all, counted;
  {
    Result r{exec_params(c, "summary", PGRES_TUPLES_OK,
                         "SELECT counted, bucket, runs, sum, lowest, highest FROM summary_buckets"
                         " WHERE kind = $1 AND cpu_name = $2 ORDER BY counted, bucket",
                         kind, cpu)};
    for (int i = 0; i < PQntuples(r.res); ++i) {
      HistogramBucket b{.index = static_cast<int>(integer_of(r.res, i, 1)),
                        .runs = integer_of(r.res, i, 2),
                        .sum = integer_of(r.res, i, 3),
                        .lowest = static_cast<int>(integer_of(r.res, i, 4)),
                        .highest = static_cast<int>(integer_of(r.res, i, 5))};
      (integer_of(r.res, i, 0) ? counted : all).push_back(b);
    }
  }
  if (all.empty()) return std::nullopt;
  try {
    s.all = ScoreHistogram::from_buckets(std::move(all));
    s.counted = ScoreHistogram::from_buckets(std::move(counted));
  } catch (const std::invalid_argument& e) {
    throw StoreError("postgresql: damaged summary of " + std::string(cpu) + ": " + e.what());
  }
  {
    Result r{exec_params(c, "summary", PGRES_TUPLES_OK,
                         "SELECT threads, runs FROM summary_threads WHERE kind = $1 AND cpu_name = $2 ORDER BY threads",
                         kind, cpu)};
    for (int i = 0; i < PQntuples(r.res); ++i)
      s.threads[static_cast<int>(integer_of(r.res, i, 0))] = integer_of(r.res, i, 1);
  }
  if (with_days) {
    Result r{exec_params(c, "summary", PGRES_TUPLES_OK,
                         "SELECT day, runs, sum, lowest, highest FROM summary_days"
                         " WHERE kind = $1 AND cpu_name = $2 ORDER BY day",
                         kind, cpu)};
    for (int i = 0; i < PQntuples(r.res); ++i)
      s.days[std::string(text_of(r.res, i, 0))] = {integer_of(r.res, i, 1), integer_of(r.res, i, 2),
                                                   static_cast<int>(integer_of(r.res, i, 3)),
                                                   static_cast<int>(integer_of(r.res, i, 4))};
  }
  return s;
}

void put_row(PGconn* c, std::string_view kind, const ProcessorRow& row) {
  Result r{
      exec_params(c, "summary", PGRES_COMMAND_OK,
                  "INSERT INTO processor_summaries"
                  " (kind, cpu_name, runs, avg_score, min, p10, median, p90, max, threads, counted_runs)"
                  " VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11) ON CONFLICT (kind, cpu_name) DO UPDATE SET"
                  " runs = EXCLUDED.runs, avg_score = EXCLUDED.avg_score, min = EXCLUDED.min, p10 = EXCLUDED.p10,"
                  " median = EXCLUDED.median, p90 = EXCLUDED.p90, max = EXCLUDED.max, threads = EXCLUDED.threads,"
                  " counted_runs = EXCLUDED.counted_runs",
                  kind, row.cpu, row.runs, row.avg_score, row.spread.min, row.spread.p10, row.spread.median,
                  row.spread.p90, row.spread.max, thread_list(row.threads), row.counted_runs)};
}

// Adds one stored run to its processor's summary within the insert's transaction and returns
// the processor's new row.
ProcessorRow summarise(PGconn* c, std::size_t per_client, std::string_view kind, std::string_view cpu,
                       std::string_view client, int score, int threads, std::string_view day) {
  // The caller holds the processor's lock, and the row lock taken here makes the runs added by
  // the summaries' computation take turns with inserts too: each reads what the one before left.
  Result{exec_params(
      c, "summary", PGRES_COMMAND_OK,
      "INSERT INTO processor_summaries (kind, cpu_name, runs, avg_score, min, p10, median, p90, max,"
      " threads, counted_runs) VALUES ($1, $2, 1, 0, 0, 0, 0, 0, 0, '', 0) ON CONFLICT (kind, cpu_name) DO UPDATE"
      " SET runs = processor_summaries.runs + 1",
      kind, cpu)};
  bool counts = per_client == 0 || client.empty();
  if (!client.empty()) {
    Result r{exec_params(c, "summary", PGRES_TUPLES_OK,
                         "INSERT INTO summary_senders (kind, cpu_name, client, runs) VALUES ($1, $2, $3, 1)"
                         " ON CONFLICT (kind, cpu_name, client) DO UPDATE SET runs = summary_senders.runs + 1"
                         " RETURNING runs",
                         kind, cpu, client)};
    counts = counts || static_cast<std::size_t>(integer_of(r.res, 0, 0)) <= per_client;
  }
  const int bucket = score_bucket(score);
  for (int counted = 0; counted < (counts ? 2 : 1); ++counted)
    Result{exec_params(c, "summary", PGRES_COMMAND_OK,
                       "INSERT INTO summary_buckets (kind, cpu_name, counted, bucket, runs, sum, lowest, highest)"
                       " VALUES ($1, $2, $3, $4, 1, $5::bigint, $5::integer, $5::integer) ON CONFLICT (kind, cpu_name, "
                       "counted, bucket) DO UPDATE"
                       " SET runs = summary_buckets.runs + 1, sum = summary_buckets.sum + EXCLUDED.sum,"
                       " lowest = LEAST(summary_buckets.lowest, EXCLUDED.lowest),"
                       " highest = GREATEST(summary_buckets.highest, EXCLUDED.highest)",
                       kind, cpu, counted, bucket, score)};
  Result{exec_params(c, "summary", PGRES_COMMAND_OK,
                     "INSERT INTO summary_threads (kind, cpu_name, threads, runs) VALUES ($1, $2, $3, 1)"
                     " ON CONFLICT (kind, cpu_name, threads) DO UPDATE SET runs = summary_threads.runs + 1",
                     kind, cpu, threads)};
  Result{exec_params(
      c, "summary", PGRES_COMMAND_OK,
      "INSERT INTO summary_days (kind, cpu_name, day, runs, sum, lowest, highest)"
      " VALUES ($1, $2, $3, 1, $4::bigint, $4::integer, $4::integer) ON CONFLICT (kind, cpu_name, day) DO UPDATE"
      " SET runs = summary_days.runs + 1, sum = summary_days.sum + EXCLUDED.sum,"
      " lowest = LEAST(summary_days.lowest, EXCLUDED.lowest),"
      " highest = GREATEST(summary_days.highest, EXCLUDED.highest)",
      kind, cpu, day, score)};
  const auto summary = read_summary(c, kind, cpu, false);
  if (!summary) throw StoreError("postgresql summary: the processor's summary vanished");
  ProcessorRow row = processor_row(*summary);
  put_row(c, kind, row);
  return row;
}

}  // namespace postgres
