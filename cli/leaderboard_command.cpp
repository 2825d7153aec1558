#include "cli/leaderboard_command.h"

#include "leaderboard_client/terminal_text.h"

#include <cstdio>
#include <iterator>
#include <ostream>

namespace {
const char* const kHowToConfigure =
    "Set STRELVIK_LEADERBOARD_URL=https://HOST[:PORT] to use a leaderboard (and STRELVIK_LEADERBOARD_CA=FILE.pem\n"
    "for a certificate of your own), or build with -DSTRELVIK_LEADERBOARD_URL=https://HOST. scripts/run.sh\n"
    "starts a local one.\n";
}  // namespace

std::string leaderboard_table_text(const std::vector<LeaderboardRow>& rows, const std::string& cpu_name) {
  if (rows.empty()) return "No data yet\n";
  std::string text;
  char line[512];
  std::snprintf(line, sizeof line, "  %4s  %-48s %9s %6s\n", "#", "CPU", "Score", "Runs");
  text += line;
  bool marked = false;
  bool few_marked = false;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const LeaderboardRow& row = rows[i];
    const bool mine = row.cpu == cpu_name;  // exact bytes: case or trailing spaces make another processor
    marked = marked || mine;
    const bool few = has_few_runs(row);
    few_marked = few_marked || few;
    // Names come from the server: no byte of them may reach the terminal as a control.
    const std::string cpu = escape_for_terminal(row.cpu);
    std::snprintf(line, sizeof line, "%c%c%4zu  %-48s %9d %6d\n", mine ? '*' : ' ', few ? '~' : ' ', i + 1, cpu.c_str(),
                  row.avg_score, row.runs);
    text += line;
  }
  if (marked) text += "* this machine\n";
  if (few_marked) text += "~ fewer than " + std::to_string(kConfidentRuns) + " runs counted in the average\n";
  return text;
}

int run_leaderboard_command(LeaderboardClient& client, std::optional<RunKind> kind, const std::string& cpu_name,
                            std::ostream& out, std::ostream& err) {
  // Nothing can be fetched: say why once, and how to get a leaderboard, not an empty table per kind.
  if (const std::string& reason = client.settings().unusable_reason; !reason.empty()) {
    err << "strelvik-cli: " << escape_for_terminal(reason) << '\n';
    if (reason == kNotConfigured) err << kHowToConfigure;
    return 1;
  }
  int exit_code = 0;
  const std::vector<RunKind> kinds =
      kind ? std::vector<RunKind>{*kind} : std::vector<RunKind>(std::begin(kRunKinds), std::end(kRunKinds));
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    client.fetch(kinds[i]);
    client.stop_all();  // waits for the request; it ends within its time-outs
    if (i > 0) out << '\n';
    out << run_kind_title(kinds[i]) << " leaderboard\n";
    const std::string error = client.fetch_error_text();
    // An older server without the SMT board: a note among the boards asked for all at once.
    if (!kind && error == kNoSmtBoardText) {
      out << error << '\n';
      continue;
    }
    if (!error.empty()) {
      err << "strelvik-cli: " << run_kind_text(kinds[i]) << " leaderboard: " << escape_for_terminal(error) << '\n';
      exit_code = 1;
      continue;
    }
    out << leaderboard_table_text(client.rows(kinds[i]), cpu_name);
  }
  return exit_code;
}
