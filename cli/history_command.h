#pragma once
// `strelvik-cli history [--delete N] [--json]`: the stored results, newest first, numbered as the
// history panel numbers them (the oldest is 1), with the best score of each kind.
#include <optional>
#include <ostream>

#include "history/results_history.h"

// Uses the history file at its usual place. Returns the exit code: 0, or 1 when entry N does
// not exist or the file could not be written.
int run_history_command(std::optional<int> delete_number, bool json, std::ostream& out, std::ostream& err);

// The same on a given store (loaded here).
int run_history_command(ResultsHistory& history, std::optional<int> delete_number, bool json, std::ostream& out,
                        std::ostream& err);
