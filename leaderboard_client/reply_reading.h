#pragma once
// The leaderboard's JSON documents: the rows of a fetch reply, the body of a submission and the
// server's verdict on it. Errors are the JSON library's exceptions, whose texts the user sees.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/run_kind.h"

struct LeaderboardRow {
  std::string cpu;
  std::int32_t avg_score = 0;
  std::int32_t runs = 0;  // every accepted run
  // The runs the average counts (at most a few of each sender); absent from older servers.
  std::optional<std::int32_t> counted_runs = std::nullopt;
  bool operator==(const LeaderboardRow&) const = default;
};

// A row whose average counts fewer runs than this is marked as uncertain wherever it is shown.
inline constexpr std::int32_t kConfidentRuns = 5;

// The average behind the row counts fewer than kConfidentRuns runs (all its runs, from a server
// that does not say how many it counts).
inline bool has_few_runs(const LeaderboardRow& row) { return row.counted_runs.value_or(row.runs) < kConfidentRuns; }

// The rows of a reply, in the server's order. Raises nlohmann::json's parse_error (not exactly
// one JSON value) and type_error (305: not an object or null where one is needed; 302: a field
// of the wrong type), or std::out_of_range for a number that does not fit 32 bits.
std::vector<LeaderboardRow> read_rows(const std::string& reply);

// The compact body of a submission, keys in byte order. Raises the JSON library's type_error 316
// for a processor name that is not valid UTF-8.
std::string submission_body(const std::string& cpu, RunKind kind, std::int32_t score, std::int32_t threads);

// Returns when the reply accepts the submission ("ok": true); otherwise raises a parse_error, a
// type_error 302 for an "ok" that is not a boolean, or std::runtime_error
// "Server rejected: " followed by the reply text.
void check_submission_reply(const std::string& reply);
