#pragma once
// The runner's command line: a subcommand and its options, or the reason it was refused.
#include <optional>
#include <string>
#include <variant>

#include "cli/run_options.h"
#include "cli/stress_command.h"
#include "engine/run_kind.h"

struct InfoRequest {
  bool json = false;
};

// `leaderboard [single|multi]`: both kinds when none is given.
struct LeaderboardRequest {
  std::optional<RunKind> kind;
};

struct HistoryRequest {
  std::optional<int> delete_number;
  bool json = false;
};

// Nothing to run: print `text` (to stdout for help, stderr for errors) and exit with `code`.
struct EarlyExit {
  int code = 0;
  std::string text;
};

using Command = std::variant<RunOptions, StressOptions, InfoRequest, HistoryRequest, LeaderboardRequest, EarlyExit>;

// Bad usage gives an EarlyExit with code 2 and one clear message; nothing runs.
Command parse_command_line(int argc, const char* const* argv);
