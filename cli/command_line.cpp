#include "cli/command_line.h"

#include <CLI/CLI.hpp>

#include <sstream>

namespace {

constexpr int kUsageError = 2;

void add_run_options(CLI::App& sub, RunOptions& options, std::string& size) {
  sub.add_option("--threads", options.threads, "Worker threads for every run (custom unless standard)")
      ->check(CLI::Range(1, 4096));
  sub.add_option("--repeat", options.repeat, "Run N times and end with median, min, max and spread")
      ->check(CLI::Range(1, 1000));
  sub.add_option("--image", options.image_path, "Write the finished image as PNG");
  sub.add_option("--size", size, "Custom image size WxH");
  sub.add_option("--spp", options.samples, "Custom samples per pixel")->check(CLI::Range(1, 1 << 20));
  sub.add_option("--depth", options.depth, "Custom maximum bounces")->check(CLI::Range(1, 10000));
  sub.add_option("--tile", options.tile, "Custom tile edge in pixels")->check(CLI::Range(1, 1 << 16));
  sub.add_flag("--json", options.json, "JSON Lines on stdout, human-readable text on stderr");
  sub.add_flag("!--no-history", options.record_history, "Do not record verified runs in the history");
  sub.add_flag("!--no-submit", options.submit,
               "Do not submit verified runs to the online leaderboard (also STRELVIK_NO_SUBMIT=1)");
}

}  // namespace

Command parse_command_line(int argc, const char* const* argv) {
  CLI::App app{"Strelvik CPU benchmark, headless runner"};
  app.name("strelvik-cli");
  app.require_subcommand(1, 1);

  RunOptions run;
  std::string size;
  CLI::App* single = app.add_subcommand("single", "Run the single-core benchmark (1 worker)");
  CLI::App* multi = app.add_subcommand("multi", "Run the multi-core benchmark (one worker per hardware thread)");
  CLI::App* both = app.add_subcommand("both", "Run single-core, then multi-core");
  for (CLI::App* sub : {single, multi, both}) {
    add_run_options(*sub, run, size);
  }

  InfoRequest info;
  CLI::App* info_sub = app.add_subcommand("info", "Show the machine's facts");
  info_sub->add_flag("--json", info.json, "Machine-readable output");

  HistoryRequest history;
  CLI::App* history_sub = app.add_subcommand("history", "Show the stored results, newest first");
  history_sub->add_option("--delete", history.delete_number, "Remove entry N as numbered in the listing")
      ->check(CLI::PositiveNumber);
  history_sub->add_flag("--json", history.json, "Machine-readable output");

  LeaderboardRequest leaderboard;
  CLI::App* leaderboard_sub =
      app.add_subcommand("leaderboard", "Show the online leaderboard, this machine's rows marked");
  leaderboard_sub->add_option("kind", leaderboard.kind, "single or multi (default: both)")
      ->check(CLI::IsMember({"single", "multi"}));

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
      // --help, on the program or on a subcommand: let the library pick the right text.
      std::ostringstream out;
      std::ostringstream err;
      app.exit(e, out, err);
      return EarlyExit{0, out.str()};
    }
    return EarlyExit{kUsageError, std::string("strelvik-cli: ") + e.what() + "\nRun 'strelvik-cli --help' for usage."};
  }

  if (info_sub->parsed()) {
    return info;
  }
  if (history_sub->parsed()) {
    return history;
  }
  if (leaderboard_sub->parsed()) {
    return leaderboard;
  }
  run.kind = single->parsed() ? RunKind::Single : multi->parsed() ? RunKind::Multi : RunKind::Both;
  if (!size.empty()) {
    const auto parsed = parse_image_size(size);
    if (!parsed) {
      return EarlyExit{kUsageError,
                       "strelvik-cli: --size must be WxH with positive integers and at most "
                       "2147483647 bytes of RGBA image, got '" +
                           size + "'"};
    }
    run.width = parsed->first;
    run.height = parsed->second;
  }
  return run;
}
