// Real processes on one history file: saves killed at random moments never leave a broken
// file, two programs adding at once lose nothing, and a user who cannot read the file does not
// replace it.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "history/history_format.h"
#include "history/results_history.h"
#include "tests/support/test_processes.h"

namespace {

HistoryEntry run(int score) {
  HistoryEntry e;
  e.score = score;
  e.type = "multi";
  // A long name makes each save large enough that a kill often lands inside the write.
  e.cpu = std::string(3000, 'c');
  return e;
}

// The child keeps adding consecutive scores, starting after what the file holds.
[[noreturn]] void keep_adding(const std::string& path) {
  ResultsHistory h(path);
  h.load();
  for (int next = static_cast<int>(h.size());; ++next) h.add(run(next));
}

TEST(HistoryProcesses, ASaveKilledAtAnyMomentLeavesTheOldOrTheNewCompleteFile) {
  TempDir dir;
  const std::string path = dir.file("history.json");
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> delay_us(0, 40000);
  std::size_t last_count = 0;
  for (int round = 0; round < 30; ++round) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) keep_adding(path);
    ::usleep(static_cast<useconds_t>(delay_us(rng)));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);

    const std::string text = read_file(path);
    if (text.empty() && last_count == 0) continue;  // killed before its first save
    const ParsedHistory parsed = parse_history(text);
    ASSERT_EQ(parsed.kind, HistoryTextKind::Runs) << "round " << round << ", " << text.size() << " bytes";
    ASSERT_GE(parsed.entries.size(), last_count) << "a completed save was lost";
    for (std::size_t i = 0; i < parsed.entries.size(); ++i) ASSERT_EQ(parsed.entries[i], run(static_cast<int>(i)));
    last_count = parsed.entries.size();
  }
  EXPECT_GT(last_count, 0u);
}

TEST(HistoryProcesses, TwoProgramsAddingAtTheSameTimeLoseNothing) {
  TempDir dir;
  const std::string path = dir.file("history.json");
  constexpr int per_writer = 25;
  pid_t children[2];
  for (int w = 0; w < 2; ++w) {
    children[w] = ::fork();
    ASSERT_GE(children[w], 0);
    if (children[w] == 0) {
      ResultsHistory h(path);
      h.load();  // both start from the same (empty) view
      bool ok = true;
      for (int i = 0; i < per_writer; ++i) ok = h.add(run(w * 1000 + i)) && ok;
      ::_exit(ok ? 0 : 1);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::set<int> scores;
  for (const auto& e : parse_history(read_file(path)).entries) scores.insert(e.score);
  EXPECT_EQ(scores.size(), 2u * per_writer);
  for (int w = 0; w < 2; ++w)
    for (int i = 0; i < per_writer; ++i) EXPECT_TRUE(scores.count(w * 1000 + i)) << w * 1000 + i;
}

// The child cannot read the file: as nobody when the tests run as root (as in CI), else as this
// user with the file's permissions taken away.
void become_unable_to_read(const std::string& path) {
  if (::geteuid() != 0) {
    ::chmod(path.c_str(), 0);
    return;
  }
  const gid_t nogroup = 65534;
  const uid_t nobody = 65534;
  if (::setgroups(0, nullptr) != 0 || ::setresgid(nogroup, nogroup, nogroup) != 0 ||
      ::setresuid(nobody, nobody, nobody) != 0)
    ::_exit(90);
}

TEST(HistoryProcesses, AFileThisUserCannotReadIsReportedAndNeverReplaced) {
  TempDir dir;
  namespace fs = std::filesystem;
  // A folder anyone may write in: a rename over the file would succeed, so only the store's
  // own check keeps the file.
  fs::permissions(dir.path(), fs::perms::all);
  const std::string path = dir.file("history.json");
  {
    ResultsHistory owner(path);
    owner.load();
    owner.add(run(1));
  }
  ::chmod(path.c_str(), 0600);
  const std::string original = read_file(path);
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    become_unable_to_read(path);
    ResultsHistory h(path);
    h.load();
    if (h.size() != 0 || !h.file_inaccessible()) ::_exit(10);
    const auto notices = h.take_notices();
    if (notices.size() != 1 || notices[0].find("could not be read (Permission denied)") == std::string::npos)
      ::_exit(11);
    if (h.add(run(2)) || h.size() != 1) ::_exit(12);  // refused, kept in memory
    if (h.save()) ::_exit(13);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the check that failed";

  if (::geteuid() != 0) ::chmod(path.c_str(), 0600);
  EXPECT_EQ(read_file(path), original);
  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  for (const auto& f : fs::directory_iterator(dir.path())) {
    const std::string name = f.path().filename().string();
    EXPECT_TRUE(name == "history.json" || name == "history.json.lock") << name;
  }
}

}  // namespace
