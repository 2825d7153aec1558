#pragma once
// The stress test's pieces of the window's panels: its lines and pass bars in the score panel,
// its part of the progress line, and its badge in the history.
#include <string>

#include "history/history_entry.h"
#include "ui/panel_parts.h"

struct App;

// While a test runs: the pass, the time left and a bar per finished pass scaled to the best, with
// the stability so far. After it: the stability and the verdict, or in red the pass that
// computed a wrong image, when and at what temperature. Nothing without a test since the last run.
void draw_stress_score(const App& app);

// "Pass 2  |  7:30 left  |  " while a test runs; empty otherwise.
std::string stress_progress_prefix(const App& app);

// "STR" in the stress colour for a stress test's entry; the kind's badge for any other.
KindBadge history_badge(const HistoryEntry& entry);
