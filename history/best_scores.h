#pragma once
// The best stored score of each kind, as the score panel and the runner show them.
#include <cstdint>
#include <optional>
#include <vector>

#include "history/history_entry.h"

struct BestScores {
  std::optional<std::int32_t> single;  // entries whose type is exactly "single"
  std::optional<std::int32_t> multi;   // every other type
};

BestScores best_scores(const std::vector<HistoryEntry>& entries);
