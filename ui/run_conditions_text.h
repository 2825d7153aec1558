#pragma once
// What a run ran under, as the window's texts show it: the warning sentences under the scores,
// and a stored run's sensors and warnings in the History tab's tooltip.
#include <string>

#include "history/history_entry.h"

struct App;

// The warnings of the runs finished since the last start, each after its kind ("Multi-Core:
// ..."), wrapped to the column; nothing when there are none.
void draw_run_warning_lines(const App& app);

// The stored run's sensor summary and warnings, a line each; empty when it has neither.
std::string history_entry_conditions(const HistoryEntry& entry);
