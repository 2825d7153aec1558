#include "history/best_scores.h"

#include <algorithm>

BestScores best_scores(const std::vector<HistoryEntry>& entries) {
  BestScores best;
  for (const HistoryEntry& entry : entries) {
    if (entry.type == "single") best.single = std::max(best.single, entry.score);
    if (entry.type == "multi") best.multi = std::max(best.multi, entry.score);
  }
  return best;
}
