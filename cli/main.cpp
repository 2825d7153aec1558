// strelvik-cli: the headless runner for servers, scripts and CI.
#include <cstdio>
#include <iostream>
#include <variant>

#include "cli/command_line.h"
#include "cli/history_command.h"
#include "cli/info_command.h"
#include "cli/leaderboard_command.h"
#include "cli/run_command.h"
#include "history/record_result.h"
#include "leaderboard_client/leaderboard_client.h"
#include "leaderboard_client/submission_outcome.h"
#include "leaderboard_client/terminal_text.h"
#include "system/probe.h"
#include "system/processor_groups.h"

namespace {

// The processor name is stored and submitted with every result, as the window does it.
std::string this_cpu_name() { return trim_leading_spaces(make_platform_system_sources()->cpu_brand()); }

RunRecorder history_recorder(const std::string& cpu_name) {
  return [cpu_name](const RunReport& report) {
    const RecordOutcome outcome = record_result(report.result, cpu_name);
    for (const std::string& message : outcome.messages) {
      std::fprintf(stderr, "strelvik-cli: %s\n", message.c_str());
    }
    return outcome.recorded;
  };
}

// Each submission uses a client of its own and waits for it: the runner has nothing else to do.
RunSubmitter leaderboard_submitter(const std::string& cpu_name, const LeaderboardSettings& settings) {
  return [cpu_name, settings](const RunReport& report) {
    LeaderboardClient client(settings);
    client.submit(cpu_name, report.result.kind, report.result.score, report.result.threads);
    client.stop_all();
    // The status may quote the server's reply, which reaches the terminal. A local leaderboard
    // is named so, as the window names it: the result did not go public.
    std::string status = escape_for_terminal(client.submit_status_text());
    if (status.rfind("Submitted OK", 0) == 0 && is_local_leaderboard(settings)) status += " to the local leaderboard";
    return status;
  };
}

}  // namespace

int main(int argc, char** argv) {
  const Command command = parse_command_line(argc, argv);
  if (const auto* early = std::get_if<EarlyExit>(&command)) {
    std::FILE* stream = early->code == 0 ? stdout : stderr;
    std::fputs(early->text.c_str(), stream);
    if (!early->text.empty() && early->text.back() != '\n') {
      std::fputc('\n', stream);
    }
    return early->code;
  }
  if (const auto* info = std::get_if<InfoRequest>(&command)) {
    return run_info_command(info->json, std::cout);
  }
  if (const auto* history = std::get_if<HistoryRequest>(&command)) {
    return run_history_command(history->delete_number, history->json, std::cout, std::cerr);
  }
  if (const auto* leaderboard = std::get_if<LeaderboardRequest>(&command)) {
    LeaderboardClient client;
    return run_leaderboard_command(client, leaderboard->kind, this_cpu_name(), std::cout, std::cerr);
  }
  const auto& run = std::get<RunOptions>(command);
  const std::string cpu_name = this_cpu_name();
  const LeaderboardSettings settings = leaderboard_settings_from_environment();
  const bool submit = run.submit && settings.submissions_enabled;
  return run_benchmarks(run, platform_worker_placement(),
                        run.record_history ? history_recorder(cpu_name) : RunRecorder{},
                        submit ? leaderboard_submitter(cpu_name, settings) : RunSubmitter{});
}
