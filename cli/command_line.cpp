#include "cli/command_line.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <limits>
#include <sstream>
#include <string_view>

#include "cli/option_suggestion.h"
#include "system/png_writer.h"

namespace {

constexpr int kUsageError = 2;
constexpr std::int64_t kLargest = std::numeric_limits<std::int32_t>::max();
constexpr const char* kCommands[] = {"single", "smt",  "multi",   "both",       "all",
                                     "stress", "info", "history", "leaderboard"};

// Each command lists only the exit codes it can end with.
const char* const kRunExitCodes =
    "Exit codes: 0 done; 1 a run could not run (the system refused a thread) or the image could\n"
    "not be written; 2 bad usage, an --image that cannot be written, or smt on a processor without\n"
    "SMT (nothing runs); 3 the image did not match the reference; 130 cancelled (Ctrl-C).";
const char* const kStressExitCodes =
    "Exit codes: 0 done; 1 a pass could not run; 2 bad usage (nothing runs); 3 a pass's image was\n"
    "wrong (the test stops there); 130 cancelled (Ctrl-C).";
const char* const kInfoExitCodes = "Exit codes: 0 done; 2 bad usage.";
const char* const kHistoryExitCodes =
    "Exit codes: 0 done; 1 the history could not be read or saved; 2 bad usage, or no result of\n"
    "that number.";
const char* const kLeaderboardExitCodes =
    "Exit codes: 0 done; 1 a fetch failed or no leaderboard is configured; 2 bad usage.";
const char* const kProgramExitCodes =
    "Exit codes: 0 done; 2 bad usage; each command's --help lists the others it can end with.";

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

void add_workload_options(CLI::App& sub, Workload& workload, std::string& size) {
  const Workload& standard = kStandardWorkload;
  sub.add_option(
         "--size", size,
         with_default("Custom image size WxH", std::to_string(standard.width) + "x" + std::to_string(standard.height)))
      ->type_name("WxH");
  sub.add_option("--spp", workload.samples_per_pixel,
                 with_default("Custom samples per pixel", std::to_string(standard.samples_per_pixel)))
      ->type_name("N")
      ->check(whole_number(1, 1 << 20));
  sub.add_option("--depth", workload.max_depth,
                 with_default("Custom maximum bounces", std::to_string(standard.max_depth)))
      ->type_name("N")
      ->check(whole_number(1, 10000));
  sub.add_option("--tile", workload.tile_size,
                 with_default("Custom tile edge in pixels", std::to_string(standard.tile_size)))
      ->type_name("N")
      ->check(whole_number(1, 1 << 16));
}

void add_run_options(CLI::App& sub, RunOptions& options, std::string& size, RunFlags& flags) {
  sub.add_option("--repeat", options.repeat, "Run N times and end with median, min, max and spread (default 1)")
      ->type_name("N")
      ->check(whole_number(1, 1000));
  sub.add_option("--image", options.image_path, "Write the finished image to FILE.png")->type_name("FILE.png");
  add_workload_options(sub, options.workload, size);
  sub.add_flag("--json", options.json, "JSON Lines on stdout, human-readable text on stderr");
  sub.add_flag("--no-history", flags.no_history, "Do not record verified runs in the history");
  sub.add_flag("--no-submit", flags.no_submit,
               "Do not submit verified runs to the online leaderboard (also STRELVIK_NO_SUBMIT=1)");
  sub.footer(kRunExitCodes);
}

bool is_command(std::string_view word) {
  return std::find(std::begin(kCommands), std::end(kCommands), word) != std::end(kCommands);
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
  return usage_error("a command is required: single, smt, multi, both, all, stress, info, history or leaderboard");
}

std::optional<EarlyExit> check_image_name(const CLI::App& sub, const std::string& name) {
  if (sub.get_option("--image")->count() == 0) return std::nullopt;
  if (name.empty()) return usage_error("--image needs a file name ending in .png");
  if (!has_png_name(name)) return usage_error("--image writes PNG only: the name must end in .png, got '" + name + "'");
  return std::nullopt;
}

bool apply_image_size(const std::string& size, Workload& workload) {
  const auto parsed = parse_image_size(size);
  if (!parsed) return false;
  workload.width = parsed->first;
  workload.height = parsed->second;
  return true;
}

EarlyExit bad_size(const std::string& size) {
  return usage_error("--size must be WxH with positive integers and at most 2147483647 bytes of RGBA image, got '" +
                     size + "'");
}

// "; did you mean --threads?" for the first word that looks like a mistyped option of the
// command given; empty when there is none.
std::string suggestion(CLI::App& app, int argc, const char* const* argv) {
  CLI::App* command = nullptr;
  for (int i = 1; i < argc && command == nullptr; ++i) {
    if (is_command(argv[i])) command = app.get_subcommand(argv[i]);
  }
  if (command == nullptr) return {};
  std::vector<std::string> known;
  for (const CLI::Option* option : command->get_options()) {
    if (option->get_group().empty()) continue;  // hidden: accepted only to be refused with a reason
    for (const std::string& name : option->get_lnames()) known.push_back("--" + name);
  }
  for (int i = 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    if (std::find(known.begin(), known.end(), word.substr(0, word.find('='))) != known.end()) continue;
    if (const auto closest = closest_option(word, known)) return "; did you mean " + *closest + "?";
  }
  return {};
}

}  // namespace

Command parse_command_line(int argc, const char* const* argv) {
  if (auto refused = check_command_word(argc, argv)) return *refused;

  CLI::App app{"Strelvik CPU benchmark, headless runner"};
  app.name("strelvik-cli");
  app.require_subcommand(1, 1);
  app.footer(kProgramExitCodes);
  app.set_version_flag("--version", "strelvik-cli " STRELVIK_VERSION);

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
      ->type_name("N")
      ->check(whole_number(1, 4096));
  // Accepted where it does not apply only to be refused below with a message that says why.
  for (CLI::App* sub : {single, smt, both, all}) sub->add_option("--threads", run.threads)->group("");

  StressOptions stress;
  std::string stress_size;
  bool stress_no_history = false;
  CLI::App* stress_sub =
      app.add_subcommand("stress", "Repeat the multi-core benchmark for N minutes and report its stability");
  stress_sub
      ->add_option("--minutes", stress.minutes,
                   with_default("Run at least N minutes and 3 passes", std::to_string(kStressDefaultMinutes)))
      ->type_name("N")
      ->check(whole_number(kStressMinMinutes, kStressMaxMinutes));
  add_workload_options(*stress_sub, stress.workload, stress_size);
  stress_sub->add_flag("--json", stress.json, "JSON Lines on stdout, human-readable text on stderr");
  stress_sub->add_flag("--no-history", stress_no_history, "Do not record the test in the history");
  stress_sub->footer(kStressExitCodes);

  InfoRequest info;
  CLI::App* info_sub = app.add_subcommand("info", "Show the machine's facts");
  info_sub->add_flag("--json", info.json, "Machine-readable output");
  info_sub->footer(kInfoExitCodes);

  HistoryRequest history;
  CLI::App* history_sub = app.add_subcommand("history", "Show the stored results, newest first");
  history_sub->add_option("--delete", history.delete_number, "Remove entry N as numbered in the listing")
      ->type_name("N")
      ->check(whole_number(1, kLargest));
  history_sub->add_flag("--json", history.json, "Machine-readable output");
  history_sub->footer(kHistoryExitCodes);

  LeaderboardRequest leaderboard;
  CLI::App* leaderboard_sub =
      app.add_subcommand("leaderboard", "Show the online leaderboard, this machine's rows marked");
  std::string board_kind;
  std::vector<std::string> board_kinds;
  for (const RunKind kind : kRunKinds) board_kinds.push_back(run_kind_text(kind));
  leaderboard_sub->add_option("kind", board_kind, "single, smt or multi (default: all three)")
      ->check(CLI::IsMember(board_kinds));
  leaderboard_sub->footer(kLeaderboardExitCodes);

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
    return usage_error(e.what() + suggestion(app, argc, argv));
  }

  if (stress_sub->parsed()) {
    stress.record_history = !stress_no_history;
    if (!stress_size.empty() && !apply_image_size(stress_size, stress.workload)) return bad_size(stress_size);
    return stress;
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
  if (!size.empty() && !apply_image_size(size, run.workload)) return bad_size(size);
  return run;
}
