// The runner's history as other users meet it: a file they cannot read, and a file beside an
// installed program that belongs to someone else. Tests run as root in CI: the other user is
// nobody (setpriv); as an ordinary user, permissions taken away stand in for it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/test_processes.h"

namespace {

std::string runner() { return (fs::read_symlink("/proc/self/exe").parent_path() / "strelvik-cli").string(); }

bool as_root() { return geteuid() == 0; }

struct Outcome {
  int exit_code = -1;
  std::string out, err;
};

// Runs the program as the other user, with the environment `env` ("NAME=value", or "-u NAME").
Outcome run_as_other_user(const std::vector<std::string>& env, const std::string& program,
                          const std::vector<std::string>& args) {
  static const TempDir logs;  // apart from the folders whose permissions the tests change
  std::vector<std::string> argv;
  if (as_root()) argv = {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
  argv.push_back("env");
  for (const std::string& e : env) {
    if (e.rfind("-u ", 0) == 0) {
      argv.push_back("-u");
      argv.push_back(e.substr(3));
    } else {
      argv.push_back(e);
    }
  }
  argv.push_back(program);
  argv.insert(argv.end(), args.begin(), args.end());
  const fs::path out = logs.path() / "out.txt";
  const fs::path err = logs.path() / "err.txt";
  fs::remove(err);
  Outcome o;
  o.exit_code = wait_exit(spawn_program(argv, out, err));
  o.out = read_file(out);
  o.err = read_file(err);
  return o;
}

const char* const kOneRun =
    "{\n  \"runs\": [\n    {\n      \"cpu\": \"Example CPU\",\n      \"date\": \"2026-12-06T16:55:39\",\n"
    "      \"resolution_h\": 1080,\n      \"resolution_w\": 1920,\n      \"samples\": 128,\n      \"score\": 8123,\n"
    "      \"threads\": 16,\n      \"time_seconds\": 14.25,\n      \"type\": \"multi\"\n    }\n  ]\n}";

void write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

TEST(RunnerHistory, AFileThisUserCannotReadIsReportedNotShownAsEmptyAndKept) {
  TempDir dir;
  fs::permissions(dir.path(), fs::perms::all);  // anyone could rename a new file over it
  const std::string path = dir.file("history.json");
  write(path, kOneRun);
  fs::permissions(path, as_root() ? fs::perms::owner_read | fs::perms::owner_write : fs::perms::none);

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"history"}, {"history", "--json"}, {"history", "--delete", "1"}}) {
    const Outcome o = run_as_other_user({"STRELVIK_HISTORY=" + path}, runner(), args);
    EXPECT_EQ(o.exit_code, 1) << args.back() << "\n" << o.err;
    EXPECT_NE(o.err.find("could not be read (Permission denied)"), std::string::npos) << o.err;
    EXPECT_EQ(o.out.find("No results yet"), std::string::npos) << o.out;
  }
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(read_file(path), kOneRun);
  EXPECT_FALSE(fs::exists(path + ".tmp"));
}

TEST(RunnerHistory, TheFileBesideTheProgramIsUsedOnlyWhenThisUserCanSaveIt) {
  TempDir dir;
  const fs::path program = dir.path() / "strelvik-cli";
  fs::copy_file(runner(), program);
  const fs::path home = dir.path() / "home";
  fs::create_directory(home);
  fs::permissions(home, fs::perms::all);
  const std::vector<std::string> env{"-u STRELVIK_HISTORY", "-u XDG_DATA_HOME", "HOME=" + home.string()};

  // Absent, in a folder this user may write: the file beside the program.
  fs::permissions(dir.path(), as_root() ? fs::perms::all : fs::perms::owner_all);
  Outcome o = run_as_other_user(env, program.string(), {"history"});
  EXPECT_NE(o.out.find("History: " + dir.file("history.json") + "\n"), std::string::npos) << o.out << o.err;

  // Left there by another user (root after a "sudo strelvik-cli multi"): this user's own place.
  write(dir.file("history.json"), kOneRun);
  fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
  if (!as_root()) {
    fs::permissions(dir.file("history.json"), fs::perms::owner_read);
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
  }
  o = run_as_other_user(env, program.string(), {"history"});
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_NE(o.out.find("History: " + (home / ".local/share/strelvik/history.json").string() + "\n"), std::string::npos)
      << o.out;
  EXPECT_NE(o.out.find("No results yet"), std::string::npos) << o.out;
  fs::permissions(dir.path(), fs::perms::owner_all);
  EXPECT_EQ(read_file(dir.file("history.json")), kOneRun);
}

}  // namespace
