#include "leaderboard_server/rules/board.h"

#include <algorithm>
#include <numeric>

Board build_board(std::vector<ProcessorRow> rows) {
  Board board;
  auto& entries = board.entries;
  entries.reserve(rows.size());
  for (ProcessorRow& r : rows)
    entries.push_back({.row = {std::move(r.cpu), r.avg_score, r.runs},
                       .counted_runs = r.counted_runs,
                       .spread = r.spread,
                       .threads = std::move(r.threads)});
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

std::vector<ProcessorRow> board_rows(const Board& board) {
  std::vector<ProcessorRow> rows;
  rows.reserve(board.entries.size());
  for (const BoardEntry& e : board.entries)
    rows.push_back({.cpu = e.row.cpu,
                    .runs = e.row.runs,
                    .counted_runs = e.counted_runs,
                    .avg_score = e.row.avg_score,
                    .spread = e.spread,
                    .threads = e.threads});
  return rows;
}

Board build_board(std::span<const StoredScore> runs, std::size_t per_client) {
  std::vector<ProcessorRow> rows;
  for (const ProcessorSummary& s : summarise_runs(runs, per_client)) rows.push_back(processor_row(s));
  return build_board(std::move(rows));
}

const BoardEntry* find_processor(const Board& board, std::string_view cpu) {
  const auto it =
      std::lower_bound(board.by_name.begin(), board.by_name.end(), cpu,
                       [&](std::size_t i, std::string_view name) { return board.entries[i].row.cpu < name; });
  if (it == board.by_name.end() || board.entries[*it].row.cpu != cpu) return nullptr;
  return &board.entries[*it];
}
