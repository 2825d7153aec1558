// strelvik-cli: the headless runner for servers, scripts and CI.
#include <cstdio>
#include <iostream>
#include <variant>

#include "cli/command_line.h"
#include "cli/history_command.h"
#include "cli/info_command.h"
#include "cli/run_command.h"
#include "history/record_result.h"
#include "system/probe.h"

namespace {

RunRecorder history_recorder() {
  // The processor name is stored with every result, as the window stores it.
  const std::string cpu_name = trim_leading_spaces(make_platform_system_sources()->cpu_brand());
  return [cpu_name](const RunReport& report) {
    const RecordOutcome outcome = record_result(report.result, cpu_name);
    for (const std::string& message : outcome.messages) {
      std::fprintf(stderr, "strelvik-cli: %s\n", message.c_str());
    }
    return outcome.recorded;
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
  const auto& run = std::get<RunOptions>(command);
  return run_benchmarks(run, run.record_history ? history_recorder() : RunRecorder{});
}
