#pragma once
// A submission's outcome in the words beside a score, the same in both programs: a local
// leaderboard (the one scripts/run.sh starts on loopback) is named so, lest anyone think the
// result went public.
#include <string>

#include "leaderboard_client/leaderboard_settings.h"

// Whether the leaderboard is this machine's own: a loopback address or "localhost".
bool is_local_leaderboard(const LeaderboardSettings& settings);

// "the local leaderboard" or "the leaderboard".
std::string leaderboard_name(const LeaderboardSettings& settings);

// The client's status ("Submitted OK (multi 8123)", "Submit error: ...", "Submitting...") as
// the outcome beside a score: "submitted to the local leaderboard", "not submitted: ...",
// "submitting...". Any other text (a reason the run stayed local) is returned as it is.
std::string submission_outcome(const std::string& submit_status, const LeaderboardSettings& settings);
