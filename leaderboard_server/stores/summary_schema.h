#pragma once
// The tables of the per-processor summaries, one migration step for each database, and the text
// form of a row's thread counts. Kinds are plain text here (no CHECK): every kind a server knows
// is summarised alike.

#include <string>
#include <string_view>
#include <vector>

// summary_state: one row; ready is 0 until the runs stored before the summaries are summarised,
// runs_counted_per_client the rule they were computed for (-1: none yet).
// processor_summaries: a board's row per (kind, processor), recomputed with each insert.
// summary_senders: runs per (kind, processor, sender hash), which decides whether a run counts.
// summary_buckets: the two histograms, counted = 0 for every run, 1 for the counted runs.
// summary_threads, summary_days: runs per thread count and per UTC day.
inline constexpr const char* kSqliteSummaryTables = R"sql(
    CREATE TABLE summary_state (
        id INTEGER PRIMARY KEY CHECK (id = 1),
        ready INTEGER NOT NULL,
        runs_counted_per_client INTEGER NOT NULL
    );
    INSERT INTO summary_state VALUES (1, 0, -1);
    CREATE TABLE processor_summaries (
        kind TEXT NOT NULL, cpu_name TEXT NOT NULL, runs INTEGER NOT NULL, avg_score INTEGER NOT NULL,
        min INTEGER NOT NULL, p10 INTEGER NOT NULL, median INTEGER NOT NULL, p90 INTEGER NOT NULL,
        max INTEGER NOT NULL, threads TEXT NOT NULL, counted_runs INTEGER NOT NULL,
        PRIMARY KEY (kind, cpu_name)
    ) WITHOUT ROWID;
    CREATE TABLE summary_senders (
        kind TEXT NOT NULL, cpu_name TEXT NOT NULL, client TEXT NOT NULL, runs INTEGER NOT NULL,
        PRIMARY KEY (kind, cpu_name, client)
    ) WITHOUT ROWID;
    CREATE TABLE summary_buckets (
        kind TEXT NOT NULL, cpu_name TEXT NOT NULL, counted INTEGER NOT NULL, bucket INTEGER NOT NULL,
        runs INTEGER NOT NULL, sum INTEGER NOT NULL, lowest INTEGER NOT NULL, highest INTEGER NOT NULL,
        PRIMARY KEY (kind, cpu_name, counted, bucket)
    ) WITHOUT ROWID;
    CREATE TABLE summary_threads (
        kind TEXT NOT NULL, cpu_name TEXT NOT NULL, threads INTEGER NOT NULL, runs INTEGER NOT NULL,
        PRIMARY KEY (kind, cpu_name, threads)
    ) WITHOUT ROWID;
    CREATE TABLE summary_days (
        kind TEXT NOT NULL, cpu_name TEXT NOT NULL, day TEXT NOT NULL, runs INTEGER NOT NULL,
        sum INTEGER NOT NULL, lowest INTEGER NOT NULL, highest INTEGER NOT NULL,
        PRIMARY KEY (kind, cpu_name, day)
    ) WITHOUT ROWID;
    )sql";

// The same in PostgreSQL; names compare as bytes (COLLATE "C") as the runs' index does.
inline constexpr const char* kPostgresSummaryTables = R"sql(
    CREATE TABLE summary_state (
        id INTEGER PRIMARY KEY CHECK (id = 1),
        ready INTEGER NOT NULL,
        runs_counted_per_client BIGINT NOT NULL
    );
    INSERT INTO summary_state VALUES (1, 0, -1);
    CREATE TABLE processor_summaries (
        kind TEXT NOT NULL, cpu_name TEXT COLLATE "C" NOT NULL, runs BIGINT NOT NULL, avg_score BIGINT NOT NULL,
        min INTEGER NOT NULL, p10 INTEGER NOT NULL, median INTEGER NOT NULL, p90 INTEGER NOT NULL,
        max INTEGER NOT NULL, threads TEXT NOT NULL, counted_runs INTEGER NOT NULL,
        PRIMARY KEY (kind, cpu_name)
    );
    CREATE TABLE summary_senders (
        kind TEXT NOT NULL, cpu_name TEXT COLLATE "C" NOT NULL, client TEXT COLLATE "C" NOT NULL, runs BIGINT NOT NULL,
        PRIMARY KEY (kind, cpu_name, client)
    );
    CREATE TABLE summary_buckets (
        kind TEXT NOT NULL, cpu_name TEXT COLLATE "C" NOT NULL, counted SMALLINT NOT NULL, bucket INTEGER NOT NULL,
        runs BIGINT NOT NULL, sum BIGINT NOT NULL, lowest INTEGER NOT NULL, highest INTEGER NOT NULL,
        PRIMARY KEY (kind, cpu_name, counted, bucket)
    );
    CREATE TABLE summary_threads (
        kind TEXT NOT NULL, cpu_name TEXT COLLATE "C" NOT NULL, threads INTEGER NOT NULL, runs BIGINT NOT NULL,
        PRIMARY KEY (kind, cpu_name, threads)
    );
    CREATE TABLE summary_days (
        kind TEXT NOT NULL, cpu_name TEXT COLLATE "C" NOT NULL, day TEXT NOT NULL, runs BIGINT NOT NULL,
        sum BIGINT NOT NULL, lowest INTEGER NOT NULL, highest INTEGER NOT NULL,
        PRIMARY KEY (kind, cpu_name, day)
    );
    )sql";

// Empties every summary before they are computed again.
inline constexpr const char* kSummaryReset[] = {
    "DELETE FROM processor_summaries", "DELETE FROM summary_senders", "DELETE FROM summary_buckets",
    "DELETE FROM summary_threads",     "DELETE FROM summary_days",
};

// "1,8,16" and back; a damaged list reads as the numbers it holds.
std::string thread_list(const std::vector<int>& threads);
std::vector<int> parse_thread_list(std::string_view text);
