#pragma once
// One kind's standings: every processor ranked, with the spread, thread counts and dated runs
// behind its average. This is the server's one ranking; the API's and the page's JSON render it.

#include "leaderboard_server/rules/percentiles.h"
#include "leaderboard_server/rules/ranking.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct BoardRun {
  std::string submitted_at;
  int score = 0;
  int threads = 0;
};

struct BoardEntry {
  RankedRow row;
  long long rank = 0;          // competition ranking: tied averages share a rank (1, 2, 2, 4)
  long long counted_runs = 0;  // the runs its average counts (counted_run_count); row.runs counts all
  ScoreSpread spread;
  std::vector<int> threads;       // distinct, ascending
  std::vector<BoardRun> history;  // oldest first
};

struct Board {
  std::vector<BoardEntry> entries;   // every processor, in leaderboard order (ranks_before)
  std::vector<std::size_t> by_name;  // indices into entries, names in byte order
};

// Groups `runs` by exact processor name (their order within a name kept), averages each over the
// runs that count (counted_average: at most `per_client` of one sender, 0: all) and ranks them.
// The spread and the history show every run.
Board build_board(std::vector<StoredScore> runs, std::size_t per_client = kRunsCountedPerClient);

// The entry of exactly this name, or null.
const BoardEntry* find_processor(const Board& board, std::string_view cpu);
