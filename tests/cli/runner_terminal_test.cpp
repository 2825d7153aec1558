// The runner's progress line on a real terminal: a pseudo-terminal of 80 columns, resized while
// a run is under way. A line that wraps leaves a new row at every redraw.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/test_processes.h"

namespace {

const std::string kRedraw = "\r\033[K";

std::string runner() { return (fs::read_symlink("/proc/self/exe").parent_path() / "strelvik-cli").string(); }

struct Terminal {
  pid_t pid = -1;
  int master = -1;
  std::string shown;  // everything the program wrote
  bool ended = false;
};

Terminal start_in_terminal(std::vector<std::string> args, int columns) {
  winsize size{};
  size.ws_row = 24;
  size.ws_col = static_cast<unsigned short>(columns);
  Terminal t;
  t.pid = forkpty(&t.master, nullptr, nullptr, &size);
  if (t.pid == 0) {
    args.insert(args.begin(), runner());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  return t;
}

// Reads until `enough` holds or the program ends. False when nothing came for a minute: the
// bound on a hung program, not a pace the test relies on.
bool read_until(Terminal& t, const std::function<bool(const Terminal&)>& enough) {
  while (!t.ended && !enough(t)) {
    pollfd p{t.master, POLLIN, 0};
    if (poll(&p, 1, 60000) <= 0) return false;
    char buffer[4096];
    const ssize_t n = read(t.master, buffer, sizeof buffer);
    if (n > 0) {
      t.shown.append(buffer, static_cast<std::size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      t.ended = true;  // EIO: the program and its terminal are gone
    }
  }
  return true;
}

// The progress lines drawn so far, each as far as the terminal shows it; the last one only
// once the program has ended (it may still be arriving).
std::vector<std::string> progress_lines(const Terminal& t) {
  std::vector<std::string> lines;
  for (std::size_t at = t.shown.find(kRedraw); at != std::string::npos;) {
    const std::size_t start = at + kRedraw.size();
    const std::size_t next = t.shown.find(kRedraw, start);
    const std::size_t end = std::min(t.shown.find_first_of("\r\n", start), t.shown.size());
    if (next == std::string::npos && !t.ended && end == t.shown.size()) break;
    lines.push_back(t.shown.substr(start, end - start));
    at = next;
  }
  return lines;
}

long columns_of(const std::string& text) {
  long n = 0;
  for (unsigned char c : text) n += (c & 0xC0) != 0x80;
  return n;
}

TEST(RunnerTerminal, TheProgressLineFitsEightyColumnsAndEndsOnTheFinishedState) {
  // 4800 tiles: even the finished line is wider than 80 columns with a full bar.
  Terminal t = start_in_terminal(
      {"single", "--size", "640x480", "--tile", "8", "--spp", "1", "--depth", "4", "--no-history", "--no-submit"}, 80);
  ASSERT_GT(t.pid, 0);
  ASSERT_TRUE(read_until(t, [](const Terminal&) { return false; }));
  EXPECT_EQ(wait_exit(t.pid), 0) << t.shown;
  close(t.master);

  const auto lines = progress_lines(t);
  ASSERT_FALSE(lines.empty()) << t.shown;
  for (const std::string& line : lines) EXPECT_LE(columns_of(line), 79) << line;
  EXPECT_NE(lines.back().find("4800/4800  100.0%"), std::string::npos) << lines.back();
  EXPECT_EQ(lines.back().find("remaining"), std::string::npos) << lines.back();
  // The finished line is ended, so the report starts on a row of its own.
  EXPECT_NE(t.shown.find(lines.back() + "\r\nsingle (custom): score"), std::string::npos) << t.shown;
}

TEST(RunnerTerminal, TheProgressLineFollowsAResizeOfTheTerminal) {
  Terminal t = start_in_terminal(
      {"multi", "--size", "256x256", "--tile", "8", "--spp", "512", "--no-history", "--no-submit"}, 80);
  ASSERT_GT(t.pid, 0);
  ASSERT_TRUE(read_until(t, [](const Terminal& s) { return !progress_lines(s).empty(); }));
  ASSERT_FALSE(t.ended) << t.shown;
  const std::size_t before = progress_lines(t).size();

  winsize narrow{};
  narrow.ws_row = 24;
  narrow.ws_col = 40;
  ASSERT_EQ(ioctl(t.master, TIOCSWINSZ, &narrow), 0);  // the program gets SIGWINCH
  // Lines drawn before the signal may still be on their way; one fitted line, and one after it.
  const auto first_narrow = [&](const Terminal& s) -> std::size_t {
    const auto lines = progress_lines(s);
    for (std::size_t i = before; i < lines.size(); ++i)
      if (columns_of(lines[i]) <= 39) return i;
    return lines.size();
  };
  ASSERT_TRUE(read_until(t, [&](const Terminal& s) { return first_narrow(s) + 1 < progress_lines(s).size(); }));
  kill(t.pid, SIGINT);
  ASSERT_TRUE(read_until(t, [](const Terminal&) { return false; }));
  EXPECT_EQ(wait_exit(t.pid), 130);
  close(t.master);

  const auto lines = progress_lines(t);
  const std::size_t fitted = first_narrow(t);
  ASSERT_LT(fitted, lines.size()) << t.shown;
  for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_LE(columns_of(lines[i]), i < fitted ? 79 : 39) << lines[i];
}

}  // namespace
