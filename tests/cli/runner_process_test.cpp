// The runner as scripts use it: a real process, its exit code, its stdout and stderr.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "system/png_writer.h"
#include "tests/support/test_processes.h"

namespace {

std::filesystem::path runner() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path() / "strelvik-cli";
}

struct Outcome {
  int exit_code = -1;
  std::string out;
  std::string err;
};

std::string slurp(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// `command` is a shell command line whose stdout and stderr are captured.
Outcome run_command(const std::string& command_line) {
  const auto dir = std::filesystem::temp_directory_path();
  const auto out = dir / ("strelvik-out-" + std::to_string(getpid()));
  const auto err = dir / ("strelvik-err-" + std::to_string(getpid()));
  const std::string command = command_line + " >" + out.string() + " 2>" + err.string();
  const int status = std::system(command.c_str());
  Outcome outcome{WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return outcome;
}

Outcome run(const std::string& args) { return run_command(runner().string() + " " + args); }

std::vector<nlohmann::json> json_lines(const std::string& text) {
  std::vector<nlohmann::json> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(nlohmann::json::parse(line));  // throws if stdout carries anything else
  }
  return lines;
}

}  // namespace

TEST(Runner, JsonModeKeepsStdoutMachineReadable) {
  const Outcome outcome = run("both --size 64x48 --spp 1 --depth 4 --tile 16 --repeat 2 --json --no-history");
  ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
  const auto lines = json_lines(outcome.out);
  ASSERT_EQ(lines.size(), 6u);  // four runs, then a summary per kind
  EXPECT_EQ(lines[0]["type"], "single");
  EXPECT_EQ(lines[0]["threads"], 1);
  EXPECT_EQ(lines[2]["type"], "multi");
  EXPECT_EQ(lines[0]["image_sha256"], lines[3]["image_sha256"]);  // same image for any thread count
  EXPECT_TRUE(lines[0]["verified"].is_null());
  EXPECT_EQ(lines[0]["custom"], true);
  EXPECT_EQ(lines[4]["type"], "summary");
  EXPECT_EQ(lines[4]["kind"], "single");
  EXPECT_EQ(lines[5]["runs"], 2);
  EXPECT_NE(outcome.err.find("score"), std::string::npos);  // the human text went to stderr
}

TEST(Runner, BadUsageExitsWith2AndRunsNothing) {
  for (const char* args :
       {"multi --threads 0", "multi --size 0x5", "multi --size 50000x50000", "frobnicate", "multi --unknown"}) {
    const Outcome outcome = run(args);
    EXPECT_EQ(outcome.exit_code, 2) << args;
    EXPECT_TRUE(outcome.out.empty()) << args;
    EXPECT_NE(outcome.err.find("strelvik-cli"), std::string::npos) << args;
  }
}

TEST(Runner, WritesThePngImage) {
  const auto png = std::filesystem::temp_directory_path() / ("strelvik-" + std::to_string(getpid()) + ".png");
  const Outcome outcome = run("single --size 40x30 --spp 1 --depth 3 --no-history --image " + png.string());
  ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
  const std::string bytes = slurp(png);
  std::filesystem::remove(png);
  ASSERT_GT(bytes.size(), 8u);
  EXPECT_EQ(bytes.substr(1, 3), "PNG");

  // A name that cannot be written is refused before the run, with the reason.
  const Outcome unwritable = run("single --size 8x8 --spp 1 --depth 1 --no-history --image /nonexistent/dir/x.png");
  EXPECT_EQ(unwritable.exit_code, 2);
  EXPECT_NE(unwritable.err.find("the folder /nonexistent/dir does not exist"), std::string::npos) << unwritable.err;
  EXPECT_EQ(unwritable.err.find("single (1 thread)"), std::string::npos) << "a run began";
  // The check leaves an existing file as it was.
  { std::ofstream(png) << "kept"; }
  const Outcome folder = run("single --size 8x8 --spp 1 --depth 1 --no-history --image " +
                             std::filesystem::temp_directory_path().string() + "/.png");
  EXPECT_EQ(folder.exit_code, 2);
  EXPECT_EQ(png_target_problem(png.string()), "");
  EXPECT_EQ(slurp(png), "kept");
  std::filesystem::remove(png);
}

TEST(Runner, InterruptCancelsTheRunAndExitsWith130) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, STDOUT_FILENO);
    dup2(devnull, STDERR_FILENO);
    const std::string path = runner().string();
    // A run of hours: the test can only end if the interrupt cancels it.
    execl(path.c_str(), path.c_str(), "multi", "--size", "4096x4096", "--spp", "4096", "--no-history", nullptr);
    _exit(99);
  }
  // Interrupted only once the handler is in place, however slowly the machine starts the child.
  while (!catches_signal(child, SIGINT)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  kill(child, SIGINT);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
}

TEST(Runner, MultiUsesOnlyTheProcessorsItsAffinityMaskAllows) {
  const Outcome outcome = run_command("taskset -c 0 " + runner().string() +
                                      " multi --size 64x64 --spp 1 --depth 2 --json --no-history --no-submit");
  ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
  const auto lines = json_lines(outcome.out);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]["threads"], 1);
  EXPECT_EQ(lines[0]["type"], "multi");  // one worker, still the kind that was asked for
}

// One processor is never a whole core of two threads, on any machine: the SMT run has nowhere to
// go, `smt` says why and runs nothing, and `all` leaves it out.
TEST(Runner, SmtWithoutAWholeSmtCoreExits2WithTheReasonAndAllSkipsIt) {
  const std::string taskset = "taskset -c 0 " + runner().string();
  const Outcome smt = run_command(taskset + " smt --size 32x32 --spp 1 --depth 2 --json --no-history --no-submit");
  EXPECT_EQ(smt.exit_code, 2);
  EXPECT_EQ(smt.out, "");
  EXPECT_EQ(smt.err.rfind("strelvik-cli: No SMT run: ", 0), 0u) << smt.err;

  const Outcome all = run_command(taskset + " all --size 32x32 --spp 1 --depth 2 --json --no-history --no-submit");
  ASSERT_EQ(all.exit_code, 0) << all.err;
  const auto lines = json_lines(all.out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0]["type"], "single");
  EXPECT_EQ(lines[1]["type"], "multi");

  // Unmasked, a machine with SMT runs one core's threads (this one has none: exit 2 again).
  const Outcome here = run("smt --size 32x32 --spp 1 --depth 2 --json --no-history --no-submit");
  if (here.exit_code == 0) {
    const auto runs = json_lines(here.out);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0]["type"], "smt");
    EXPECT_GE(runs[0]["threads"], 2);
    EXPECT_LE(runs[0]["threads"], 8);
  } else {
    EXPECT_EQ(here.exit_code, 2) << here.err;
  }
}
