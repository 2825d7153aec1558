#pragma once
// The line under a kind's score that says where it stands among this processor's runs on the
// leaderboard, and for a low one the likely causes. It stays until the kind's next run starts.
#include "engine/run_kind.h"

struct App;

void draw_score_comparison(App& app, RunKind kind);
