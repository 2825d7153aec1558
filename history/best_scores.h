#pragma once
// The best stored score of each kind, the one rule the window's start-up, its score panel and the
// runner share: only entries whose type names a kind exactly count, and each kind starts from
// 0, so 0 means no positive score of that kind.
#include <cstdint>
#include <vector>

#include "engine/run_kind.h"
#include "history/history_entry.h"

struct BestScores {
  std::int32_t single = 0;
  std::int32_t smt = 0;
  std::int32_t multi = 0;

  std::int32_t& of(RunKind kind);
  std::int32_t of(RunKind kind) const { return const_cast<BestScores*>(this)->of(kind); }
};

BestScores best_scores(const std::vector<HistoryEntry>& entries);
