#include "leaderboard_server/stores/postgres_summaries.h"
#include "leaderboard_server/stores/summary_schema.h"

#include <vector>

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

namespace {

// Rows of (counted, bucket, runs, sum, lowest, highest) into the summary's two histograms; false
// without runs.
bool read_buckets(PGresult* r, ProcessorSummary& s) {
  std::vector<HistogramBucket> all, counted;
  for (int i = 0; i < PQntuples(r); ++i) {
    HistogramBucket b{.index = static_cast<int>(integer_of(r, i, 1)),
                      .runs = integer_of(r, i, 2),
                      .sum = integer_of(r, i, 3),
                      .lowest = static_cast<int>(integer_of(r, i, 4)),
                      .highest = static_cast<int>(integer_of(r, i, 5))};
    (integer_of(r, i, 0) ? counted : all).push_back(b);
  }
  if (all.empty()) return false;
  try {
    s.all = ScoreHistogram::from_buckets(std::move(all));
    s.counted = ScoreHistogram::from_buckets(std::move(counted));
  } catch (const std::invalid_argument& e) {
    throw StoreError("postgresql: damaged summary of " + s.cpu + ": " + e.what());
  }
  return true;
}

// Rows of (threads, runs).
void read_threads(PGresult* r, ProcessorSummary& s) {
  for (int i = 0; i < PQntuples(r); ++i) s.threads[static_cast<int>(integer_of(r, i, 0))] = integer_of(r, i, 1);
}

constexpr const char* kBucketsOf =
    "SELECT counted, bucket, runs, sum, lowest, highest FROM summary_buckets"
    " WHERE kind = $1 AND cpu_name = $2 ORDER BY counted, bucket";
constexpr const char* kThreadsOf =
    "SELECT threads, runs FROM summary_threads WHERE kind = $1 AND cpu_name = $2 ORDER BY threads";

}  // namespace

std::optional<ProcessorSummary> read_summary(PGconn* c, std::string_view kind, std::string_view cpu, bool with_days) {
  ProcessorSummary s;
  s.cpu = cpu;
  {
    Result r{exec_params(c, "summary", PGRES_TUPLES_OK, kBucketsOf, kind, cpu)};
    if (!read_buckets(r.res, s)) return std::nullopt;
  }
  {
    Result r{exec_params(c, "summary", PGRES_TUPLES_OK, kThreadsOf, kind, cpu)};
    read_threads(r.res, s);
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

void queue_row(Pipeline& p, std::string_view kind, const ProcessorRow& row) {
  p.add("summary", PGRES_COMMAND_OK,
        "INSERT INTO processor_summaries"
        " (kind, cpu_name, runs, avg_score, min, p10, median, p90, max, threads, counted_runs)"
        " VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11) ON CONFLICT (kind, cpu_name) DO UPDATE SET"
        " runs = EXCLUDED.runs, avg_score = EXCLUDED.avg_score, min = EXCLUDED.min, p10 = EXCLUDED.p10,"
        " median = EXCLUDED.median, p90 = EXCLUDED.p90, max = EXCLUDED.max, threads = EXCLUDED.threads,"
        " counted_runs = EXCLUDED.counted_runs",
        kind, row.cpu, row.runs, row.avg_score, row.spread.min, row.spread.p10, row.spread.median, row.spread.p90,
        row.spread.max, thread_list(row.threads), row.counted_runs);
}

void queue_summary_update(Pipeline& p, std::size_t per_client, std::string_view kind, std::string_view cpu,
                          std::string_view client, int score, int threads, std::string_view day) {
  // The caller holds the processor's lock, and the row lock taken here makes the runs added by
  // the summaries' computation take turns with inserts too: each reads what the one before left.
  p.add("summary", PGRES_COMMAND_OK,
        "INSERT INTO processor_summaries (kind, cpu_name, runs, avg_score, min, p10, median, p90, max,"
        " threads, counted_runs) VALUES ($1, $2, 1, 0, 0, 0, 0, 0, 0, '', 0) ON CONFLICT (kind, cpu_name) DO UPDATE"
        " SET runs = processor_summaries.runs + 1",
        kind, cpu);
  if (!client.empty())
    p.add("summary", PGRES_COMMAND_OK,
          "INSERT INTO summary_senders (kind, cpu_name, client, runs) VALUES ($1, $2, $3, 1)"
          " ON CONFLICT (kind, cpu_name, client) DO UPDATE SET runs = summary_senders.runs + 1",
          kind, cpu, client);
  // Every run in the histogram of all runs (counted = 0); in the counted one only a sender's
  // first `per_client` (0: all), as the count just raised above says.
  p.add("summary", PGRES_COMMAND_OK,
        "INSERT INTO summary_buckets (kind, cpu_name, counted, bucket, runs, sum, lowest, highest)"
        " SELECT $1::text, $2::text, counted, $3::integer, 1, $4::bigint, $4::integer, $4::integer"
        " FROM (VALUES (0), (1)) AS histogram (counted)"
        " WHERE counted = 0 OR $5::bigint = 0 OR $6::text = ''"
        " OR (SELECT runs FROM summary_senders WHERE kind = $1 AND cpu_name = $2 AND client = $6::text) <= $5::bigint"
        " ON CONFLICT (kind, cpu_name, counted, bucket) DO UPDATE"
        " SET runs = summary_buckets.runs + 1, sum = summary_buckets.sum + EXCLUDED.sum,"
        " lowest = LEAST(summary_buckets.lowest, EXCLUDED.lowest),"
        " highest = GREATEST(summary_buckets.highest, EXCLUDED.highest)",
        kind, cpu, score_bucket(score), score, per_client, client);
  p.add("summary", PGRES_COMMAND_OK,
        "INSERT INTO summary_threads (kind, cpu_name, threads, runs) VALUES ($1, $2, $3, 1)"
        " ON CONFLICT (kind, cpu_name, threads) DO UPDATE SET runs = summary_threads.runs + 1",
        kind, cpu, threads);
  // Without a day given, the run's own: stored in this transaction, its time is the transaction's.
  p.add(
      "summary", PGRES_COMMAND_OK,
      "INSERT INTO summary_days (kind, cpu_name, day, runs, sum, lowest, highest)"
      " VALUES ($1, $2, COALESCE(NULLIF($3::text, ''), to_char(now() AT TIME ZONE 'UTC', 'YYYY-MM-DD')), 1, $4::bigint,"
      " $4::integer, $4::integer) ON CONFLICT (kind, cpu_name, day) DO UPDATE"
      " SET runs = summary_days.runs + 1, sum = summary_days.sum + EXCLUDED.sum,"
      " lowest = LEAST(summary_days.lowest, EXCLUDED.lowest),"
      " highest = GREATEST(summary_days.highest, EXCLUDED.highest)",
      kind, cpu, day, score);
  p.add("summary", PGRES_TUPLES_OK, kBucketsOf, kind, cpu);
  p.add("summary", PGRES_TUPLES_OK, kThreadsOf, kind, cpu);
}

ProcessorRow row_after_update(const std::vector<Result>& results, std::string_view cpu) {
  if (results.size() < 2) throw StoreError("postgresql summary: the summary's reads are missing");
  ProcessorSummary s;
  s.cpu = cpu;
  if (!read_buckets(results[results.size() - 2].res, s))
    throw StoreError("postgresql summary: the processor's summary vanished");
  read_threads(results.back().res, s);
  return processor_row(s);
}

ProcessorRow summarise(PGconn* c, std::size_t per_client, std::string_view kind, std::string_view cpu,
                       std::string_view client, int score, int threads, std::string_view day) {
  Pipeline p(c);
  queue_summary_update(p, per_client, kind, cpu, client, score, threads, day);
  ProcessorRow row = row_after_update(p.run(), cpu);
  queue_row(p, kind, row);
  p.run();
  return row;
}

}  // namespace postgres
