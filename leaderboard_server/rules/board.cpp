#include "leaderboard_server/rules/board.h"

#include <algorithm>
#include <numeric>
#include <span>

namespace {

// Orders `runs` by processor name in byte order, keeping each name's runs in their order. The
// stores hand them over in that order already (an index walk): then nothing moves.
void group_by_name(std::vector<StoredScore>& runs) {
  const auto by_name = [](const StoredScore& a, const StoredScore& b) { return a.cpu_name < b.cpu_name; };
  if (!std::is_sorted(runs.begin(), runs.end(), by_name)) std::stable_sort(runs.begin(), runs.end(), by_name);
}

BoardEntry entry_of(std::vector<StoredScore>::iterator first, std::vector<StoredScore>::iterator last,
                    std::size_t per_client) {
  BoardEntry e;
  e.row.avg_score = counted_average(std::span(first, last), per_client);
  e.counted_runs = counted_run_count(std::span(first, last), per_client);
  std::vector<int> scores;
  scores.reserve(static_cast<std::size_t>(last - first));
  e.history.reserve(scores.capacity());
  for (auto it = first; it != last; ++it) {
    scores.push_back(it->score);
    e.threads.push_back(it->threads);
    e.history.push_back({std::move(it->submitted_at), it->score, it->threads});
  }
  e.row.cpu = std::move(first->cpu_name);
  e.row.runs = static_cast<long long>(scores.size());
  e.spread = spread_of(std::move(scores));
  std::sort(e.threads.begin(), e.threads.end());
  e.threads.erase(std::unique(e.threads.begin(), e.threads.end()), e.threads.end());
  std::stable_sort(e.history.begin(), e.history.end(),
                   [](const BoardRun& a, const BoardRun& b) { return a.submitted_at < b.submitted_at; });
  return e;
}

}  // namespace

Board build_board(std::vector<StoredScore> runs, std::size_t per_client) {
  group_by_name(runs);
  Board board;
  for (auto first = runs.begin(); first != runs.end();) {
    auto last = std::find_if(first, runs.end(), [&](const StoredScore& s) { return s.cpu_name != first->cpu_name; });
    board.entries.push_back(entry_of(first, last, per_client));
    first = last;
  }
  auto& entries = board.entries;
  std::sort(entries.begin(), entries.end(),
            [](const BoardEntry& a, const BoardEntry& b) { return ranks_before(a.row, b.row); });
  for (std::size_t i = 0; i < entries.size(); ++i)
    entries[i].rank = i > 0 && entries[i].row.avg_score == entries[i - 1].row.avg_score ? entries[i - 1].rank
                                                                                        : static_cast<long long>(i) + 1;
  board.by_name.resize(entries.size());
  std::iota(board.by_name.begin(), board.by_name.end(), std::size_t{0});
  std::sort(board.by_name.begin(), board.by_name.end(),
            [&](std::size_t a, std::size_t b) { return entries[a].row.cpu < entries[b].row.cpu; });
  return board;
}

const BoardEntry* find_processor(const Board& board, std::string_view cpu) {
  const auto it =
      std::lower_bound(board.by_name.begin(), board.by_name.end(), cpu,
                       [&](std::size_t i, std::string_view name) { return board.entries[i].row.cpu < name; });
  if (it == board.by_name.end() || board.entries[*it].row.cpu != cpu) return nullptr;
  return &board.entries[*it];
}
