#include "server/board.h"

#include "server/board_replies.h"

#include <algorithm>
#include <numeric>
#include <string_view>
#include <unordered_map>

namespace {

BoardEntry entry_of(std::vector<StoredScore>::iterator first, std::vector<StoredScore>::iterator last,
                    std::size_t per_client_cap) {
  BoardEntry e;
  std::vector<int> scores;
  std::vector<int> counted;  // in the average: at most per_client_cap of one sender, its earliest
  std::unordered_map<std::string_view, std::size_t> per_client;
  scores.reserve(static_cast<std::size_t>(last - first));
  e.history.reserve(scores.capacity());
  for (auto it = first; it != last; ++it) {
    scores.push_back(it->score);
    if (per_client_cap == 0 || it->client.empty() || ++per_client[it->client] <= per_client_cap)
      counted.push_back(it->score);
    e.threads.push_back(it->threads);
    e.history.push_back({std::move(it->submitted_at), it->score, it->threads});
  }
  e.row = {std::move(first->cpu_name), average_without_outliers(counted), static_cast<long long>(scores.size())};
  e.spread = spread_of(std::move(scores));
  std::sort(e.threads.begin(), e.threads.end());
  e.threads.erase(std::unique(e.threads.begin(), e.threads.end()), e.threads.end());
  std::stable_sort(e.history.begin(), e.history.end(),
                   [](const BoardRun& a, const BoardRun& b) { return a.submitted_at < b.submitted_at; });
  return e;
}

}  // namespace

Board build_board(std::vector<StoredScore> runs, std::size_t max_rows, std::size_t per_client) {
  const auto by_name = [](const StoredScore& a, const StoredScore& b) { return a.cpu_name < b.cpu_name; };
  if (!std::is_sorted(runs.begin(), runs.end(), by_name)) std::stable_sort(runs.begin(), runs.end(), by_name);
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
  board.api_reply = api_reply(board, max_rows);
  board.page_reply = page_rows_reply(board, "", max_rows);
  return board;
}

const BoardEntry* find_processor(const Board& board, std::string_view cpu) {
  const auto it =
      std::lower_bound(board.by_name.begin(), board.by_name.end(), cpu,
                       [&](std::size_t i, std::string_view name) { return board.entries[i].row.cpu < name; });
  if (it == board.by_name.end() || board.entries[*it].row.cpu != cpu) return nullptr;
  return &board.entries[*it];
}
