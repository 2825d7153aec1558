#include "history/best_scores.h"

BestScores best_scores(const std::vector<HistoryEntry>& entries) {
  BestScores best;
  for (const auto& e : entries) {
    auto& slot = e.type == "single" ? best.single : best.multi;
    if (!slot || e.score > *slot) slot = e.score;
  }
  return best;
}
