#include "state/result_deletion.h"

#include <algorithm>

#include "history/best_scores.h"
#include "state/app.h"

bool delete_result(App& app, const HistoryEntry& entry) {
  const std::vector<HistoryEntry>& entries = app.history.entries();
  const auto found = std::find(entries.begin(), entries.end(), entry);
  if (found == entries.end()) return false;
  app.history.remove(static_cast<std::size_t>(found - entries.begin()));
  collect_history_notices(app);  // a failed save says so
  if (const std::optional<RunKind> kind = entry.kind(); kind && shown_score(app, *kind) == entry.score) {
    shown_score(app, *kind) = best_scores(app.history.entries()).of(*kind);
    std::erase_if(app.score_trust, [&](const ScoreTrust& trust) { return trust.kind == *kind; });
  }
  return true;
}
