// Real processes on one history file: saves killed at random moments never leave a broken
// file, and two programs adding at once lose nothing.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "history/history_format.h"
#include "history/results_history.h"
#include "tests/history/temp_dir.h"

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

    const std::string text = read_text(path);
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
  for (const auto& e : parse_history(read_text(path)).entries) scores.insert(e.score);
  EXPECT_EQ(scores.size(), 2u * per_writer);
  for (int w = 0; w < 2; ++w)
    for (int i = 0; i < per_writer; ++i) EXPECT_TRUE(scores.count(w * 1000 + i)) << w * 1000 + i;
}

}  // namespace
