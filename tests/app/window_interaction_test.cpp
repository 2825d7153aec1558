// The window driven as a user drives it: xdotool clicks at the centres of the items the program
// lists in STRELVIK_ITEM_RECTS, and the outcome is read from screenshots of the window, from the
// list of items, from the history file and from the leaderboard's access log.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "leaderboard_client/leaderboard_client.h"
#include "tests/app/window_session.h"

namespace {

struct Rect {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool operator==(const Rect&) const = default;
};
using Rects = std::map<std::string, Rect>;

// "name<TAB>x0 y0 x1 y1" lines; a line cut short (never expected: the file is replaced whole)
// is left out.
Rects parse_rects(const std::string& text) {
  Rects rects;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const auto tab = line.find('\t');
    Rect r;
    if (tab == std::string::npos ||
        std::sscanf(line.c_str() + tab + 1, "%d %d %d %d", &r.x0, &r.y0, &r.x1, &r.y1) != 4) {
      continue;
    }
    rects[line.substr(0, tab)] = r;
  }
  return rects;
}

// Pixels inside `r` that differ from the background colour (ChildBg of the centre column, where
// the preview's transparent, not yet rendered pixels let it through).
int painted_pixels(const Image& image, const Rect& r, int background = 20) {
  int count = 0;
  for (int y = r.y0; y < r.y1 && y < image.height; ++y) {
    for (int x = r.x0; x < r.x1 && x < image.width; ++x) {
      if (!near(image.at(x, y), background, background, background, 3)) ++count;
    }
  }
  return count;
}

int pixels_near(const Image& image, const Rect& r, int red, int green, int blue, int tolerance) {
  int count = 0;
  for (int y = r.y0; y < r.y1 && y < image.height; ++y) {
    for (int x = r.x0; x < r.x1 && x < image.width; ++x) count += near(image.at(x, y), red, green, blue, tolerance);
  }
  return count;
}

int differing_pixels(const Image& a, const Image& b, const Rect& r) {
  int count = 0;
  for (int y = r.y0; y < r.y1 && y < a.height && y < b.height; ++y) {
    for (int x = r.x0; x < r.x1 && x < a.width && x < b.width; ++x)
      count += std::memcmp(a.at(x, y), b.at(x, y), 3) != 0;
  }
  return count;
}

// Rows of pixel lines that hold text (a pixel brighter than any panel background), counted as
// runs of such lines: one per line of text.
int text_lines(const Image& image, const Rect& r) {
  int lines = 0;
  bool in_text = false;
  for (int y = r.y0; y < r.y1 && y < image.height; ++y) {
    bool bright = false;
    for (int x = r.x0; x < r.x1 && x < image.width && !bright; ++x) {
      const unsigned char* px = image.at(x, y);
      bright = px[0] + px[1] + px[2] > 3 * 110;
    }
    if (bright && !in_text) ++lines;
    in_text = bright;
  }
  return lines;
}

struct HistoryRun {
  std::string date;
  int score = 0;
};

// The runs in a history file, read independently of the program's own reader; nullopt when the
// file is missing or not JSON.
std::optional<std::vector<HistoryRun>> history_runs(const std::string& file) {
  if (!fs::exists(file)) return std::nullopt;
  const nlohmann::json doc = nlohmann::json::parse(read_file(file), nullptr, false);
  if (doc.is_discarded() || !doc.contains("runs") || !doc["runs"].is_array()) return std::nullopt;
  std::vector<HistoryRun> runs;
  for (const auto& run : doc["runs"]) runs.push_back({run.value("date", ""), run.value("score", 0)});
  return runs;
}

constexpr int kWindowWidth = 1600, kWindowHeight = 900;
// "RUNNING..." in the title line, teal, 200 pixels left of the window's right edge.
constexpr Rect kRunningLabel{kWindowWidth - 210, 0, kWindowWidth - 40, 45};

}  // namespace

class WindowInteraction : public WindowProgramTest {
 protected:
  void SetUp() override {
    ASSERT_FALSE(screen.display().empty()) << "Xvfb did not start: " << read_file(path("xvfb.log"));
  }

  // After a failure: what the pointer, the focus and the program were doing, for the log.
  void TearDown() override {
    if (!HasFailure() || window.empty()) return;
    xdotool({"getmouselocation"});
    std::string where = read_file(path("xdotool.log"));
    xdotool({"getwindowfocus"});
    where += "focus: " + read_file(path("xdotool.log"));
    shot("at-failure");
    if (program.pid > 0) {
      kill(program.pid, SIGTERM);
      wait_exit(program.pid, std::chrono::seconds(10));
      program.pid = -1;
    }
    ADD_FAILURE() << "window " << window << "; pointer " << where << "items:\n"
                  << read_file(path("rects.txt")) << "program's stderr:\n"
                  << read_file(path("err.log"));
  }

  // Starts the program and waits until its window is mapped and its buttons are listed.
  void start_program() {
    std::map<std::string, std::string> env = program_env(screen.display());
    env["STRELVIK_ITEM_RECTS"] = path("rects.txt");
    env["STRELVIK_MAX_FPS"] = "20";
    program.pid =
        spawn({(bin_dir() / "strelvik").string()}, env, path("out.log"), path("err.log"), dir.path().string());
    ASSERT_GT(program.pid, 0);
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (window.empty() && Clock::now() < deadline) {
      ASSERT_FALSE(wait_exit(program.pid, std::chrono::milliseconds(0)).has_value())
          << "the program ended early: " << read_file(path("err.log"));
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      if (xdotool({"search", "--onlyvisible", "--name", "^Strelvik "}) == 0) {
        window = read_file(path("xdotool.log"));
        window = window.substr(0, window.find('\n'));
      }
    }
    ASSERT_FALSE(window.empty()) << "no window titled Strelvik";
    ASSERT_TRUE(wait_for_rects([](const Rects& r) { return r.count("Single-Core") > 0; }, std::chrono::seconds(20)))
        << "no Single-Core button in " << path("rects.txt");
  }

  int xdotool(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv = {"xdotool"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return run(argv, {{"DISPLAY", screen.display()}}, path("xdotool.log"));
  }

  Rects rects() const { return parse_rects(read_file(path("rects.txt"))); }

  bool wait_for_rects(const std::function<bool(const Rects&)>& ready, std::chrono::seconds limit) const {
    const auto deadline = Clock::now() + limit;
    for (;;) {
      if (ready(rects())) return true;
      if (Clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }

  // Clicks the item at its centre once it has settled: an item that just appeared can be listed
  // with an empty rectangle for a frame (a new tab is laid out in the next one). The pointer
  // rests on it for a few frames before the button goes down, as a hand's does.
  void click(const std::string& name) {
    std::optional<Rect> settled;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!settled && Clock::now() < deadline) {
      const auto usable = [&](const Rects& now) {
        const auto found = now.find(name);
        if (found == now.end() || found->second.x1 <= found->second.x0 || found->second.y1 <= found->second.y0) {
          return std::optional<Rect>();
        }
        return std::optional<Rect>(found->second);
      };
      const std::optional<Rect> first = usable(rects());
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
      const std::optional<Rect> second = usable(rects());
      if (first && first == second) settled = second;
    }
    ASSERT_TRUE(settled.has_value()) << "no item \"" << name << "\" with a steady place in:\n"
                                     << read_file(path("rects.txt"));
    const int x = (settled->x0 + settled->x1) / 2, y = (settled->y0 + settled->y1) / 2;
    ASSERT_TRUE(x >= 0 && x < kWindowWidth && y >= 0 && y < kWindowHeight)
        << "\"" << name << "\" lies outside the window, at " << x << ", " << y;
    ASSERT_EQ(
        xdotool({"mousemove", "--window", window, std::to_string(x), std::to_string(y), "sleep", "0.2", "click", "1"}),
        0)
        << read_file(path("xdotool.log.err"));
  }

  Image shot(const std::string& name) {
    Image image = screenshot(screen.display(), path(name + ".png"), window);
    EXPECT_EQ(image.width, kWindowWidth) << name;
    return image;
  }

  // SIGTERM ends the program as its close button does, with exit code 0.
  void close_with_sigterm() {
    kill(program.pid, SIGTERM);
    const std::optional<int> code = wait_exit(program.pid, std::chrono::seconds(10));
    program.pid = -1;
    ASSERT_TRUE(code.has_value()) << "not ended within 10 s of SIGTERM";
    EXPECT_EQ(*code, 0) << read_file(path("err.log"));
  }

  VirtualScreen screen{dir};
  Child program;
  std::string window;  // X window id
};

TEST_F(WindowInteraction, SingleCoreRunDrawsTilesAndCancelKeepsThePartialImage) {
  ASSERT_NO_FATAL_FAILURE(start_program());
  EXPECT_EQ(rects().count("Cancel"), 0u) << "a Cancel button before any run";
  const Image idle = shot("idle");
  EXPECT_LT(pixels_near(idle, kRunningLabel, 0, 212, 170, 40), 10) << "RUNNING... shown while idle";

  ASSERT_NO_FATAL_FAILURE(click("Single-Core"));
  ASSERT_TRUE(wait_for_rects([](const Rects& r) { return r.count("Cancel") && r.count("preview image"); },
                             std::chrono::seconds(15)))
      << "no Cancel button and preview image after Single-Core:\n"
      << read_file(path("rects.txt"));
  const Rect image_rect = rects().at("preview image");
  const Rect bar = rects().at("progress bar");

  // Tiles appear: the painted part of the image grows between screenshots (single-core on a
  // loaded machine can take a few seconds per tile).
  const Image first = shot("running-1");
  const int painted_first = painted_pixels(first, image_rect);
  Image later;
  int painted_later = painted_first;
  const auto deadline = Clock::now() + std::chrono::seconds(40);
  while (painted_later <= painted_first && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    later = shot("running-2");
    painted_later = painted_pixels(later, image_rect);
  }
  ASSERT_GT(painted_later, painted_first) << "the preview did not change while running";
  EXPECT_GT(differing_pixels(first, later, image_rect), 0);
  EXPECT_GT(pixels_near(later, kRunningLabel, 0, 212, 170, 40), 30) << "no RUNNING... while running";
  EXPECT_TRUE(rects().count("cpu graph")) << "no CPU graph while running";
  // The progress text above the bar ("N / M tiles | P% | Ts"): light grey glyphs on ChildBg.
  const Rect progress_text{bar.x0, bar.y0 - 20, bar.x1, bar.y0 - 2};
  EXPECT_GT(pixels_near(later, progress_text, 179, 179, 179, 60), 30) << "no progress text above the bar";

  ASSERT_NO_FATAL_FAILURE(click("Cancel"));
  ASSERT_TRUE(wait_for_rects([](const Rects& r) { return !r.count("Cancel"); }, std::chrono::seconds(15)))
      << "the Cancel button stayed after it was clicked";
  ASSERT_TRUE(rects().count("preview image")) << "the preview went away with the cancelled run";
  const Rect kept_rect = rects().at("preview image");
  const Image cancelled = shot("cancelled-1");
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const Image still = shot("cancelled-2");
  // The partial image stays as it was: no more tiles, none cleared.
  EXPECT_GE(painted_pixels(cancelled, kept_rect), painted_later);
  EXPECT_EQ(differing_pixels(cancelled, still, kept_rect), 0) << "the image still changes after Cancel";
  EXPECT_LT(pixels_near(still, kRunningLabel, 0, 212, 170, 40), 10) << "RUNNING... stayed after Cancel";

  close_with_sigterm();
  // A cancelled run has no score and is not recorded.
  const auto runs = history_runs(path("history.json"));
  EXPECT_TRUE(!runs || runs->empty()) << read_file(path("history.json"));
}

TEST_F(WindowInteraction, LeaderboardTabShowsTheServersRowsAndRefreshFetchesAgain) {
  ASSERT_NO_FATAL_FAILURE(start_leaderboard());
  // Six machines on the single-core board, none on the multi-core one.
  {
    LeaderboardClient submitter(make_leaderboard_settings(leaderboard_url_, ca_.c_str(), nullptr));
    for (int i = 0; i < 6; ++i) submitter.submit("Test CPU " + std::to_string(i), RunKind::single, 1000 + 100 * i, 1);
    submitter.stop_all();
    ASSERT_EQ(submitter.rows(RunKind::single).size(), 6u) << submitter.submit_status_text();
  }
  ASSERT_NO_FATAL_FAILURE(start_program());
  ASSERT_NO_FATAL_FAILURE(click("Leaderboard tab"));
  ASSERT_TRUE(wait_for_rects([](const Rects& r) { return r.count("Refresh") && r.count("Single-Core tab"); },
                             std::chrono::seconds(10)))
      << "no Refresh button and board tabs on the Leaderboard tab:\n"
      << read_file(path("rects.txt"));
  const Rect tabs = rects().at("Single-Core tab");
  const Rect history_tab = rects().at("History tab");
  // The table: below the board tabs to the window's bottom, across the right column.
  const Rect table{history_tab.x0, tabs.y1 + 2, kWindowWidth - 20, kWindowHeight - 20};
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const Image single = shot("leaderboard-single");
  ASSERT_NO_FATAL_FAILURE(click("Multi-Core tab"));
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  const Image multi = shot("leaderboard-multi");
  EXPECT_GT(differing_pixels(single, multi, table), 0) << "the two boards look alike";
  // One text line per row, and at least the heading line besides.
  EXPECT_GE(text_lines(single, table), text_lines(multi, table) + 6)
      << text_lines(single, table) << " text lines on the single-core board, " << text_lines(multi, table)
      << " on the empty multi-core one";

  const auto fetches = [this] {
    const std::string log = read_file(path("leaderboard.out"));
    int count = 0;
    for (auto at = log.find("GET /api.php?type="); at != std::string::npos;
         at = log.find("GET /api.php?type=", at + 1)) {
      ++count;
    }
    return count;
  };
  const int before = fetches();
  EXPECT_GE(before, 2) << "start-up fetches both boards";
  ASSERT_NO_FATAL_FAILURE(click("Refresh"));
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (fetches() == before && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_GT(fetches(), before) << "Refresh sent no request:\n" << read_file(path("leaderboard.out"));

  close_with_sigterm();
}

TEST_F(WindowInteraction, HistoryDeleteButtonRemovesThatRunFromTheFile) {
  const auto entry = [](const char* date, int score, const char* type, int threads) {
    return nlohmann::json{{"cpu", "Test CPU"},    {"date", date},          {"resolution_h", 1080},
                          {"resolution_w", 1920}, {"samples", 64},         {"score", score},
                          {"threads", threads},   {"time_seconds", 600.5}, {"type", type}};
  };
  const nlohmann::json history = {
      {"runs",
       {entry("2026-01-01 10:00:00", 1111, "single", 1), entry("2026-01-02 10:00:00", 2222, "multi", 2),
        entry("2026-01-03 10:00:00", 3333, "single", 1)}}};
  { std::ofstream(path("history.json")) << history.dump(2); }
  ASSERT_NO_FATAL_FAILURE(start_program());
  ASSERT_TRUE(wait_for_rects([](const Rects& r) { return r.count("history delete 2") > 0; }, std::chrono::seconds(10)))
      << "no delete button for each of the three runs:\n"
      << read_file(path("rects.txt"));
  EXPECT_TRUE(rects().count("history delete 0") && rects().count("history delete 1"));
  EXPECT_FALSE(rects().count("history delete 3"));

  ASSERT_NO_FATAL_FAILURE(click("history delete 1"));
  ASSERT_TRUE(wait_for_rects([](const Rects& r) { return r.count("confirm delete") > 0; }, std::chrono::seconds(10)))
      << "no question before the delete:\n"
      << read_file(path("rects.txt"));
  ASSERT_NO_FATAL_FAILURE(click("confirm delete"));
  // The file is rewritten with the two other runs, in their order.
  std::optional<std::vector<HistoryRun>> runs;
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  do {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    runs = history_runs(path("history.json"));
  } while ((!runs || runs->size() != 2) && Clock::now() < deadline);
  ASSERT_TRUE(runs.has_value()) << read_file(path("history.json"));
  ASSERT_EQ(runs->size(), 2u) << read_file(path("history.json"));
  EXPECT_EQ((*runs)[0].score, 1111);
  EXPECT_EQ((*runs)[1].score, 3333);
  EXPECT_TRUE(wait_for_rects([](const Rects& r) { return r.count("history delete 1") && !r.count("history delete 2"); },
                             std::chrono::seconds(5)))
      << "the window still lists three runs:\n"
      << read_file(path("rects.txt"));

  close_with_sigterm();
  runs = history_runs(path("history.json"));
  ASSERT_TRUE(runs.has_value());
  EXPECT_EQ(runs->size(), 2u) << "closing the window changed the history: " << read_file(path("history.json"));
}

// Made smaller than its minimum (960 x 600 at this screen's 100 %), the window takes that size
// back, and every item is laid out whole inside it.
TEST_F(WindowInteraction, AWindowMadeTooSmallTakesItsMinimumSizeWithEveryItemInside) {
  ASSERT_NO_FATAL_FAILURE(start_program());
  ASSERT_EQ(xdotool({"windowsize", window, "640", "480"}), 0) << read_file(path("xdotool.log.err"));
  const auto size = [this] {
    std::pair<int, int> wh{0, 0};
    if (xdotool({"getwindowgeometry", window}) != 0) return wh;
    const std::string geometry = read_file(path("xdotool.log"));
    const auto at = geometry.find("Geometry: ");
    if (at != std::string::npos) std::sscanf(geometry.c_str() + at, "Geometry: %dx%d", &wh.first, &wh.second);
    return wh;
  };
  // The request for 640 x 480 is taken, then undone by the window itself.
  const std::vector<const char*> names = {"Single-Core",  "Multi-Core",      "Run Both",   "preview placeholder",
                                          "progress bar", "Leaderboard tab", "History tab"};
  std::pair<int, int> wh;
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  bool laid_out = false;
  while (!laid_out && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    wh = size();
    const Rects now = rects();
    laid_out = wh == std::pair<int, int>(960, 600);
    for (const char* name : names) {
      const auto found = now.find(name);
      laid_out = laid_out && found != now.end() && found->second.x1 <= wh.first && found->second.y1 <= wh.second;
    }
  }
  EXPECT_TRUE(laid_out) << "window " << wh.first << " x " << wh.second << "; items:\n" << read_file(path("rects.txt"));
  close_with_sigterm();
}
