#pragma once
// Deleting a stored result from the window: the history and its file, and the scores shown
// beside it, which must not go on showing a result that is gone.
#include <cstddef>

#include "history/history_entry.h"

struct App;

// Removes `entry` from the history (found by value: the runner may have added results since it
// was shown), reports a failed save, and makes the score panel follow: a shown score of the
// deleted result gives way to the best one still stored of its kind, and its trust line goes.
// False when the entry is no longer in the history.
bool delete_result(App& app, const HistoryEntry& entry);
