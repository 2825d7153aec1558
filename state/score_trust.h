#pragma once
// What the window says beside a score of this session: whether the run's image matched the
// reference ("verified") and what became of its submission, so that the trust a score deserves
// is read where the score is, not in another tab.
#include <optional>
#include <string>

#include "engine/run_kind.h"
#include "verify/run_verdict.h"

struct App;

struct ScoreTrust {
  RunKind kind = RunKind::single;
  std::optional<bool> image_verified;  // empty for a custom run: nothing to check against
  // "submitting...", "submitted to the local leaderboard", "not submitted: ..."
  std::string submission;
  bool awaiting_submission = false;  // its outcome is still to come from the client
};

// Notes a taken run's verdict, after record_and_submit; replaces the kind's earlier entry.
void note_score_trust(App& app, RunKind kind, const RunVerdict& verdict);

// Moves a finished submission's outcome into its entry. Called once per frame.
void follow_submission(App& app);

// The kind's entry; null when no run of the kind finished in this session.
const ScoreTrust* find_score_trust(const App& app, RunKind kind);

// "verified, submitted to the local leaderboard", "image differs from the reference", ...
std::string score_trust_text(const ScoreTrust& trust);
