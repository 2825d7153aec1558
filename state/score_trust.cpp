#include "state/score_trust.h"

#include <algorithm>
#include <mutex>

#include "leaderboard_client/submission_outcome.h"
#include "state/app.h"

void note_score_trust(App& app, RunKind kind, const RunVerdict& verdict) {
  ScoreTrust trust;
  trust.kind = kind;
  trust.image_verified = verdict.image_verified;
  if (verdict.image_verified == false) {
    trust.submission = "not stored or submitted";
  } else if (verdict.may_submit && app.leaderboard.submissions_enabled()) {
    trust.submission = "submitting...";
    trust.awaiting_submission = true;
  } else if (verdict.may_submit) {
    trust.submission = "not submitted (submissions off)";
  } else {
    trust.submission = verdict.not_submitted_reason;
  }
  // A submission still awaited for another kind keeps waiting; only one is in flight at a time.
  std::erase_if(app.score_trust, [kind](const ScoreTrust& t) { return t.kind == kind; });
  app.score_trust.push_back(trust);
}

void follow_submission(App& app) {
  const auto waiting = std::find_if(app.score_trust.begin(), app.score_trust.end(),
                                    [](const ScoreTrust& t) { return t.awaiting_submission; });
  if (waiting == app.score_trust.end()) return;
  std::string status;
  {
    std::lock_guard lock(app.leaderboard.status_mutex);
    status = app.leaderboard.submit_status;
  }
  // record_and_submit sets "Submitting..." before the request starts, so any other text is
  // this submission's outcome.
  if (status == "Submitting...") return;
  waiting->submission = submission_outcome(status, app.leaderboard.settings());
  waiting->awaiting_submission = false;
}

const ScoreTrust* find_score_trust(const App& app, RunKind kind) {
  const auto found = std::find_if(app.score_trust.begin(), app.score_trust.end(),
                                  [kind](const ScoreTrust& t) { return t.kind == kind; });
  return found == app.score_trust.end() ? nullptr : &*found;
}

std::string score_trust_text(const ScoreTrust& trust) {
  std::string text = trust.image_verified == true    ? "verified"
                     : trust.image_verified == false ? "image differs from the reference"
                                                     : "custom, not verified";
  if (!trust.submission.empty()) text += ", " + trust.submission;
  return text;
}
