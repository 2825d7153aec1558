// strelvik-cli: the headless runner for servers, scripts and CI.
#include <cstdio>
#include <variant>

#include "cli/command_line.h"
#include "cli/run_command.h"

int main(int argc, char** argv) {
  const Command command = parse_command_line(argc, argv);
  if (const auto* early = std::get_if<EarlyExit>(&command)) {
    std::fputs(early->text.c_str(), early->code == 0 ? stdout : stderr);
    if (!early->text.empty() && early->text.back() != '\n') {
      std::fputc('\n', early->code == 0 ? stdout : stderr);
    }
    return early->code;
  }
  if (const auto* run = std::get_if<RunOptions>(&command)) {
    return run_benchmarks(*run, nullptr);
  }
  std::fprintf(stderr, "strelvik-cli: this command is not available yet\n");
  return 1;
}
