// strelvik-cli: the headless runner for servers, scripts and CI.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <variant>

#include "cli/command_line.h"
#include "cli/engine_stress_passes.h"
#include "cli/history_command.h"
#include "cli/info_command.h"
#include "cli/leaderboard_command.h"
#include "cli/run_command.h"
#include "cli/stress_command.h"
#include "cli/terminal_size.h"
#include "history/record_result.h"
#include "history/results_history.h"
#include "history/stress_entry.h"
#include "leaderboard_client/leaderboard_client.h"
#include "leaderboard_client/submission_outcome.h"
#include "leaderboard_client/terminal_text.h"
#include "system/machine_threads.h"
#include "system/probe.h"
#include "system/processor_groups.h"
#include "system/run_monitor.h"
#include "system/stop_signal.h"

namespace {

// The processor name is stored and submitted with every result, as the window does it.
std::string this_cpu_name() { return trim_leading_spaces(make_platform_system_sources()->cpu_brand()); }

// STRELVIK_MACHINE_ROOT: read the sensors of a captured machine tree instead of this machine's
// (Linux; a testing aid). Empty or unset: this machine.
std::string machine_root() {
  const char* root = std::getenv("STRELVIK_MACHINE_ROOT");
  return root != nullptr ? root : "";
}

RunRecorder history_recorder(const std::string& cpu_name) {
  return [cpu_name](const RunReport& report) {
    HistoryEntry entry = entry_from_result(report.result, cpu_name);
    entry.sensors = report.sensors;
    for (const RunWarning& w : report.warnings) entry.warnings.push_back({run_warning_code_text(w.code), w.text});
    const RecordOutcome outcome = record_entry(entry);
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

StressRecorder stress_recorder(const std::string& cpu_name) {
  return [cpu_name](const StressRecord& record) {
    HistoryEntry entry = stress_history_entry(record.summary, record.passes, record.threads, record.date, cpu_name);
    for (const RunWarning& w : record.warnings) entry.warnings.push_back({run_warning_code_text(w.code), w.text});
    ResultsHistory history;
    history.load();
    const bool recorded = history.add(entry);
    for (const std::string& message : history.take_notices())
      std::fprintf(stderr, "strelvik-cli: %s\n", message.c_str());
    return recorded;
  };
}

int run_stress_command(const StressOptions& options) {
  install_stop_signal_handlers();
  const bool interactive = isatty(STDERR_FILENO) != 0;
  if (interactive) watch_terminal_size();
  // The program's one sensor sampler and load check, as for the benchmark runs.
  const std::unique_ptr<RunMonitor> monitor = make_platform_run_monitor(machine_root());
  EngineStressPasses passes(platform_worker_placement(), monitor.get(), stderr, interactive);
  StressEnvironment env{.passes = passes,
                        .clock = SensorSampler::steady_seconds,
                        .machine = this_machine_threads(),
                        .reference = ReferenceWorkload::standard(),
                        .json_out = std::cout,
                        .human = options.json ? stderr : stdout};
  return run_stress_test(options, env, options.record_history ? stress_recorder(this_cpu_name()) : StressRecorder{});
}

// Asked whether or not submissions are on: viewing the leaderboard is always allowed. Without a
// usable leaderboard fetch_comparison makes no request and the reason is its settings'.
RunComparer leaderboard_comparer(const std::string& cpu_name, const LeaderboardSettings& settings) {
  return [cpu_name, settings](const RunReport& report) {
    return fetch_comparison(settings, report.result.kind, cpu_name, report.result.score);
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
    return run_info_command(info->json, std::cout, machine_root());
  }
  if (const auto* history = std::get_if<HistoryRequest>(&command)) {
    return run_history_command(history->delete_number, history->json, std::cout, std::cerr);
  }
  if (const auto* leaderboard = std::get_if<LeaderboardRequest>(&command)) {
    LeaderboardClient client;
    return run_leaderboard_command(client, leaderboard->kind, this_cpu_name(), std::cout, std::cerr);
  }
  if (const auto* stress = std::get_if<StressOptions>(&command)) {
    return run_stress_command(*stress);
  }
  const auto& run = std::get<RunOptions>(command);
  const std::string cpu_name = this_cpu_name();
  const LeaderboardSettings settings = leaderboard_settings_from_environment();
  const bool submit = run.submit && settings.submissions_enabled;
  // The program's one sensor sampler, made before the first run and kept for all of them.
  const std::unique_ptr<RunMonitor> monitor = make_platform_run_monitor(machine_root());
  return run_benchmarks(run, platform_worker_placement(),
                        run.record_history ? history_recorder(cpu_name) : RunRecorder{},
                        submit ? leaderboard_submitter(cpu_name, settings) : RunSubmitter{},
                        leaderboard_comparer(cpu_name, settings), monitor.get());
}
