#include "leaderboard_server/api/board_replies.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <iterator>

using nlohmann::json;

namespace {

std::string dump(const json& doc) {
  // Stored names were checked as UTF-8; `replace` only guards against rows put in by hand.
  return doc.dump(-1, ' ', false, json::error_handler_t::replace);
}

json row_json(const BoardEntry& e) {
  json row = {{"cpu", e.row.cpu},    {"avg_score", e.row.avg_score}, {"runs", e.row.runs},  {"median", e.spread.median},
              {"p10", e.spread.p10}, {"p90", e.spread.p90},          {"min", e.spread.min}, {"max", e.spread.max}};
  // The runs behind the average: fewer than 5 and the row is marked as uncertain.
  row["counted_runs"] = e.counted_runs;
  return row;
}

unsigned char lower(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

json histogram_json(const BoardEntry& e, const ScoreHistogram& all) {
  // Bins of whole points, so that every bin covers as many possible scores as any other. A
  // score bucket's runs go to the bin of their mean: within one bucket (1 %) of their own.
  const long long span = static_cast<long long>(e.spread.max) - e.spread.min + 1;
  const long long bins_wanted = std::min(kHistogramBins, span);
  const long long width = (span + bins_wanted - 1) / bins_wanted;
  std::vector<long long> counts(static_cast<std::size_t>((span + width - 1) / width), 0);
  for (const HistogramBucket& b : all.buckets()) {
    const long long mean = (2 * b.sum + b.runs) / (2 * b.runs);
    const long long bin =
        std::clamp<long long>((mean - e.spread.min) / width, 0, static_cast<long long>(counts.size()) - 1);
    counts[static_cast<std::size_t>(bin)] += b.runs;
  }
  return {{"from", e.spread.min}, {"width", width}, {"counts", counts}};
}

}  // namespace

bool contains_ignoring_case(std::string_view text, std::string_view part) {
  return std::search(text.begin(), text.end(), part.begin(), part.end(),
                     [](char a, char b) { return lower(a) == lower(b); }) != text.end();
}

std::string api_reply(const Board& board, std::size_t max_rows) {
  json rows = json::array();
  const std::size_t n = std::min(max_rows, board.entries.size());
  for (std::size_t i = 0; i < n; ++i) {
    json row = row_json(board.entries[i]);
    row["threads"] = board.entries[i].threads;
    rows.push_back(std::move(row));
  }
  return dump({{"leaderboard", std::move(rows)}});
}

std::string page_rows_reply(const Board& board, std::string_view filter, std::size_t max_rows, long long min_runs) {
  json rows = json::array();
  long long matches = 0;
  for (const auto& e : board.entries) {
    if (!filter.empty() && !contains_ignoring_case(e.row.cpu, filter)) continue;
    if (e.counted_runs < min_runs) continue;
    if (static_cast<std::size_t>(matches++) >= max_rows) continue;
    json row = row_json(e);
    row["rank"] = e.rank;
    rows.push_back(std::move(row));
  }
  return dump({{"processors", board.entries.size()}, {"matches", matches}, {"rows", std::move(rows)}});
}

std::string processor_reply(const Board& board, const BoardEntry& entry, const ProcessorSummary& summary) {
  json doc = row_json(entry);
  doc["rank"] = entry.rank;
  doc["processors"] = board.entries.size();
  json threads = json::array();
  for (const auto& [count, runs] : summary.threads) threads.push_back({{"threads", count}, {"runs", runs}});
  doc["thread_counts"] = std::move(threads);
  doc["histogram"] = histogram_json(entry, summary.all);
  json history = json::array();
  const std::size_t skip = summary.days.size() > kMaxHistoryPoints ? summary.days.size() - kMaxHistoryPoints : 0;
  auto day = summary.days.begin();
  std::advance(day, static_cast<std::ptrdiff_t>(skip));
  for (; day != summary.days.end(); ++day) {
    const DayRuns& d = day->second;
    history.push_back({day->first, d.runs, (2 * d.sum + d.runs) / (2 * d.runs), d.lowest, d.highest});
  }
  doc["history"] = std::move(history);
  return dump(doc);
}

std::string distribution_reply(RunKind kind, const ProcessorSummary& summary) {
  json buckets = json::array();
  for (const HistogramBucket& b : summary.all.buckets())
    buckets.push_back({score_bucket_lower(b.index), score_bucket_upper(b.index), b.runs});
  return nlohmann::ordered_json{{"kind", run_kind_text(kind)},
                                {"cpu", summary.cpu},
                                {"runs", summary.all.runs()},
                                {"median", histogram_percentile(summary.all, 50)},
                                {"buckets", std::move(buckets)}}
      .dump(-1, ' ', false, json::error_handler_t::replace);
}
