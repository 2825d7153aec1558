#include "history/best_scores.h"

#include <algorithm>

std::int32_t& BestScores::of(RunKind kind) {
  switch (kind) {
    case RunKind::single: return single;
    case RunKind::smt: return smt;
    case RunKind::multi: return multi;
  }
  return multi;  // unreachable: every kind is listed above
}

BestScores best_scores(const std::vector<HistoryEntry>& entries) {
  BestScores best;
  for (const HistoryEntry& entry : entries) {
    if (const std::optional<RunKind> kind = entry.kind()) best.of(*kind) = std::max(best.of(*kind), entry.score);
  }
  return best;
}
