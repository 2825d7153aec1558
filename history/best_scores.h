#pragma once
// The best stored score of each kind, the one rule the window's start-up, its score panel and the
// runner share: only entries whose type is exactly "single" or exactly "multi" count, and each
// kind starts from 0, so 0 means no positive score of that kind.
#include <cstdint>
#include <vector>

#include "history/history_entry.h"

struct BestScores {
  std::int32_t single = 0;
  std::int32_t multi = 0;
};

BestScores best_scores(const std::vector<HistoryEntry>& entries);
