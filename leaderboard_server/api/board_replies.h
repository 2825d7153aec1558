#pragma once
// The JSON replies rendered from a Board: the API's rows, the web page's rows and one
// processor's page.

#include "leaderboard_server/rules/board.h"
#include "leaderboard_server/rules/processor_summary.h"
#include "leaderboard_server/rules/submission.h"

#include <cstddef>
#include <string>
#include <string_view>

// At most this many of a processor's latest days are listed for its runs-over-time chart.
inline constexpr std::size_t kMaxHistoryPoints = 1000;
// Scores are counted into at most this many equal-width bins for the histogram.
inline constexpr long long kHistogramBins = 20;

// {"leaderboard":[rows]}: the first max_rows entries, with the keys the window reads (cpu,
// avg_score, runs) and the spread (median, p10, p90, min, max) and thread counts (threads).
std::string api_reply(const Board& board, std::size_t max_rows);

// {"processors":N,"matches":M,"rows":[...]}: the entries whose name holds `filter` (ASCII
// letters compared without case) and whose average counts at least `min_runs` runs, at most
// max_rows of them, each with its rank among all.
std::string page_rows_reply(const Board& board, std::string_view filter, std::size_t max_rows, long long min_runs = 0);

// One processor: its row, rank, spread, runs per thread count, histogram and its latest days
// ("history": [day, runs, mean, lowest, highest], oldest first), from its summary.
std::string processor_reply(const Board& board, const BoardEntry& entry, const ProcessorSummary& summary);

// One processor's distribution for placing a score (the client's score_comparison.h describes
// it): {"kind","cpu","runs","median","buckets":[[lowest, highest, runs],...]}, the buckets'
// own bounds on the server's scale, every accepted run counted.
std::string distribution_reply(RunKind kind, const ProcessorSummary& summary);

bool contains_ignoring_case(std::string_view text, std::string_view part);
