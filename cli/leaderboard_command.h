#pragma once
// `strelvik-cli leaderboard [single|multi]`: fetches the online leaderboard and prints it with
// this machine's rows marked.
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "leaderboard_client/leaderboard_client.h"

// The table as printed: "#", CPU, score and runs; rows whose name equals `cpu_name` byte for
// byte are marked with "*", rows whose average counts fewer than kConfidentRuns runs with "~",
// each mark with its legend line. An empty list prints "No data yet".
std::string leaderboard_table_text(const std::vector<LeaderboardRow>& rows, const std::string& cpu_name);

// Fetches the asked kind (every kind when none is given, single first) one after the other, so that
// each table is shown with its own error. Exit code 0, or 1 when a fetch failed.
int run_leaderboard_command(LeaderboardClient& client, std::optional<RunKind> kind, const std::string& cpu_name,
                            std::ostream& out, std::ostream& err);
