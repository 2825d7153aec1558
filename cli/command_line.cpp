#include "cli/command_line.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <limits>
#include <sstream>
#include <string_view>

namespace {

constexpr int kUsageError = 2;
constexpr std::int64_t kLargest = std::numeric_limits<std::int32_t>::max();
constexpr const char* kCommands[] = {"single", "smt", "multi", "both", "all", "info", "history", "leaderboard"};

const char* const kExitCodes =
    "Exit codes: 0 done; 1 a run could not run, the image could not be written, or the history\n"
    "could not be read; 2 bad usage, or smt on a processor without SMT (nothing runs); 3 the image\n"
    "did not match the reference;\n"
    "130 cancelled (Ctrl-C).";

EarlyExit usage_error(const std::string& message) {
  return EarlyExit{kUsageError, "strelvik-cli: " + message + "\nRun 'strelvik-cli --help' for usage."};
}

// A whole number from `low` to `high`. The library's own checks print floating-point ranges
// ("0.000000 to 1.797...e308") and call a word "not in range".
CLI::Validator whole_number(std::int64_t low, std::int64_t high) {
  return CLI::Validator(
      [low, high](std::string& text) -> std::string {
        std::int64_t value = 0;
        const char* end = text.data() + text.size();
        const auto [stop, error] = std::from_chars(text.data(), end, value);
        if (text.empty() || stop != end || error == std::errc::invalid_argument) {
          return "'" + text + "' is not a number";
        }
        if (error == std::errc::result_out_of_range || value < low || value > high) {
          return text + " is not in the range " + std::to_string(low) + " to " + std::to_string(high);
        }
        return {};
      },
      "", "whole number");
}

std::string with_default(const std::string& what, const std::string& value) {
  return what + " (default " + value + ")";
}

struct RunFlags {
  bool no_history = false;
  bool no_submit = false;
};

void add_run_options(CLI::App& sub, RunOptions& options, std::string& size, RunFlags& flags) {
  const Workload& standard = kStandardWorkload;
  sub.add_option("--repeat", options.repeat, "Run N times and end with median, min, max and spread (default 1)")
      ->check(whole_number(1, 1000));
  sub.add_option("--image", options.image_path, "Write the finished image to FILE.png");
  sub.add_option(
      "--size", size,
      with_default("Custom image size WxH", std::to_string(standard.width) + "x" + std::to_string(standard.height)));
  sub.add_option("--spp", options.workload.samples_per_pixel,
                 with_default("Custom samples per pixel", std::to_string(standard.samples_per_pixel)))
      ->check(whole_number(1, 1 << 20));
  sub.add_option("--depth", options.workload.max_depth,
                 with_default("Custom maximum bounces", std::to_string(standard.max_depth)))
      ->check(whole_number(1, 10000));
  sub.add_option("--tile", options.workload.tile_size,
                 with_default("Custom tile edge in pixels", std::to_string(standard.tile_size)))
      ->check(whole_number(1, 1 << 16));
  sub.add_flag("--json", options.json, "JSON Lines on stdout, human-readable text on stderr");
  sub.add_flag("--no-history", flags.no_history, "Do not record verified runs in the history");
  sub.add_flag("--no-submit", flags.no_submit,
               "Do not submit verified runs to the online leaderboard (also STRELVIK_NO_SUBMIT=1)");
  sub.footer(kExitCodes);
}

bool is_command(std::string_view word) {
  return std::find(std::begin(kCommands), std::end(kCommands), word) != std::end(kCommands);
}

bool ends_with_png(const std::string& name) {
  if (name.size() < 4) return false;
  std::string suffix = name.substr(name.size() - 4);
  std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return suffix == ".png";
}

// The first word names the command (the program itself has no options that take a value);
// the library would call an unknown one "A subcommand is required".
std::optional<EarlyExit> check_command_word(int argc, const char* const* argv) {
  bool asked_for_help = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    if (word == "-h" || word == "--help") asked_for_help = true;
    if (word.empty() || word.front() != '-') {
      if (is_command(word)) return std::nullopt;
      return usage_error("unknown command '" + std::string(word) + "'");
    }
  }
  if (asked_for_help || argc > 1) return std::nullopt;
  return usage_error("a command is required: single, smt, multi, both, all, info, history or leaderboard");
}

std::optional<EarlyExit> check_image_name(const CLI::App& sub, const std::string& name) {
  if (sub.get_option("--image")->count() == 0) return std::nullopt;
  if (name.empty()) return usage_error("--image needs a file name ending in .png");
  if (!ends_with_png(name))
    return usage_error("--image writes PNG only: the name must end in .png, got '" + name + "'");
  return std::nullopt;
}

}  // namespace

Command parse_command_line(int argc, const char* const* argv) {
  if (auto refused = check_command_word(argc, argv)) return *refused;

  CLI::App app{"Strelvik CPU benchmark, headless runner"};
  app.name("strelvik-cli");
  app.require_subcommand(1, 1);
  app.footer(kExitCodes);

  RunOptions run;
  std::string size;
  RunFlags flags;
  CLI::App* single = app.add_subcommand("single", "Run the single-core benchmark (1 worker)");
  CLI::App* multi = app.add_subcommand("multi", "Run the multi-core benchmark (one worker per hardware thread)");
  CLI::App* smt = app.add_subcommand("smt", "Run the SMT benchmark (one worker per hardware thread of one core)");
  CLI::App* both = app.add_subcommand("both", "Run single-core, then multi-core");
  CLI::App* all = app.add_subcommand("all", "Run single-core, SMT (where the processor has SMT), then multi-core");
  for (CLI::App* sub : {single, smt, multi, both, all}) add_run_options(*sub, run, size, flags);
  multi->add_option("--threads", run.threads, "Workers instead of one per hardware thread (a custom run)")
      ->check(whole_number(1, 4096));
  // Accepted where it does not apply only to be refused below with a message that says why.
  for (CLI::App* sub : {single, smt, both, all}) sub->add_option("--threads", run.threads)->group("");

  InfoRequest info;
  CLI::App* info_sub = app.add_subcommand("info", "Show the machine's facts");
  info_sub->add_flag("--json", info.json, "Machine-readable output");

  HistoryRequest history;
  CLI::App* history_sub = app.add_subcommand("history", "Show the stored results, newest first");
  history_sub->add_option("--delete", history.delete_number, "Remove entry N as numbered in the listing")
      ->check(whole_number(1, kLargest));
  history_sub->add_flag("--json", history.json, "Machine-readable output");
  history_sub->footer(kExitCodes);

  LeaderboardRequest leaderboard;
  CLI::App* leaderboard_sub =
      app.add_subcommand("leaderboard", "Show the online leaderboard, this machine's rows marked");
  std::string board_kind;
  std::vector<std::string> board_kinds;
  for (const RunKind kind : kRunKinds) board_kinds.push_back(run_kind_text(kind));
  leaderboard_sub->add_option("kind", board_kind, "single, smt or multi (default: all three)")
      ->check(CLI::IsMember(board_kinds));

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
    return usage_error(e.what());
  }

  if (info_sub->parsed()) {
    return info;
  }
  if (history_sub->parsed()) {
    return history;
  }
  if (leaderboard_sub->parsed()) {
    leaderboard.kind = parse_run_kind(board_kind);  // nothing when no kind was given
    return leaderboard;
  }
  const std::pair<CLI::App*, std::vector<RunKind>> run_commands[] = {
      {single, {RunKind::single}},
      {smt, {RunKind::smt}},
      {multi, {RunKind::multi}},
      {both, {RunKind::single, RunKind::multi}},
      {all, {RunKind::single, RunKind::smt, RunKind::multi}},
  };
  CLI::App* chosen = both;
  for (const auto& [sub, kinds] : run_commands) {
    if (sub->parsed()) chosen = sub, run.kinds = kinds;
  }
  if (run.threads && chosen != multi) {
    return usage_error(
        "--threads applies to 'multi' only; 'single' always uses one worker, 'smt' one core's threads, and "
        "'both' and 'all' run the standard kinds");
  }
  if (auto refused = check_image_name(*chosen, run.image_path)) return *refused;
  run.record_history = !flags.no_history;
  run.submit = !flags.no_submit;
  if (!size.empty()) {
    const auto parsed = parse_image_size(size);
    if (!parsed) {
      return usage_error("--size must be WxH with positive integers and at most 2147483647 bytes of RGBA image, got '" +
                         size + "'");
    }
    run.workload.width = parsed->first;
    run.workload.height = parsed->second;
  }
  return run;
}
