#pragma once
// One kind's standings as the cache keeps them: every processor ranked, with the spread, thread
// counts and dated runs behind its average, and the replies that need no query rendered once.

#include "server/percentiles.h"
#include "server/ranking.h"

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
  long long rank = 0;  // competition ranking: tied averages share a rank (1, 2, 2, 4)
  ScoreSpread spread;
  std::vector<int> threads;       // distinct, ascending
  std::vector<BoardRun> history;  // oldest first
};

struct Board {
  std::vector<BoardEntry> entries;   // every processor, in leaderboard order
  std::vector<std::size_t> by_name;  // indices into entries, names in byte order
  std::string api_reply;             // GET /api.php: the first max_rows entries
  std::string page_reply;            // the web page's rows without a search filter
};

// `per_client` as for rank_runs: at most that many runs of one sender count in an average (0: all);
// the spread and the history show every run.
Board build_board(std::vector<StoredScore> runs, std::size_t max_rows, std::size_t per_client = kRunsCountedPerClient);

// The entry of exactly this name, or null.
const BoardEntry* find_processor(const Board& board, std::string_view cpu);
