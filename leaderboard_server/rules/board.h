#pragma once
// One kind's standings: every processor ranked by its summary's average, with the spread and
// thread counts. This is the server's one ranking; the API's and the page's JSON render it. Its
// size and cost follow the number of processors, never the number of runs.

#include "leaderboard_server/rules/percentiles.h"
#include "leaderboard_server/rules/processor_summary.h"
#include "leaderboard_server/rules/ranking.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct BoardEntry {
  RankedRow row;
  long long rank = 0;          // competition ranking: tied averages share a rank (1, 2, 2, 4)
  long long counted_runs = 0;  // the runs its average counts (counted_run_count); row.runs counts all
  ScoreSpread spread;
  std::vector<int> threads;  // distinct, ascending
};

struct Board {
  std::vector<BoardEntry> entries;   // every processor, in leaderboard order (ranks_before)
  std::vector<std::size_t> by_name;  // indices into entries, names in byte order
};

// Ranks the processors' rows (one per name).
Board build_board(std::vector<ProcessorRow> rows);

// The rows back, for a board that changes in one row (build_board again after replacing it).
std::vector<ProcessorRow> board_rows(const Board& board);

// The board of stored runs, through their summaries (tests and small tools; the server reads
// the summaries its store keeps).
Board build_board(std::span<const StoredScore> runs, std::size_t per_client = kRunsCountedPerClient);

// The entry of exactly this name, or null.
const BoardEntry* find_processor(const Board& board, std::string_view cpu);
