// The window program as a user meets it: a real window on a virtual X screen (Xvfb, Mesa's
// software OpenGL), a loopback leaderboard and a temporary history. The screenshot is checked
// for the theme and the layout, and the program must close cleanly on SIGTERM.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/app/window_session.h"

using WindowProgram = WindowProgramTest;

TEST_F(WindowProgram, WithoutADisplayItExitsWith1AndSaysWhy) {
  const pid_t pid = spawn({(bin_dir() / "strelvik").string()}, {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}},
                          path("out.log"), path("err.log"));
  ASSERT_GT(pid, 0);
  EXPECT_EQ(wait_exit(pid, std::chrono::seconds(20)), 1);
  const std::string err = read_file(path("err.log"));
  EXPECT_EQ(err.rfind("strelvik: cannot open a window", 0), 0u) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

TEST_F(WindowProgram, OpensThemedThreeColumnWindowAndClosesCleanlyOnSigterm) {
  VirtualScreen screen(dir);
  ASSERT_FALSE(screen.display().empty()) << "Xvfb did not start: " << read_file(path("xvfb.log"));
  start_leaderboard();
  Child program;
  program.pid = spawn({(bin_dir() / "strelvik").string()}, program_env(screen.display()), path("out.log"),
                      path("err.log"), dir.path());
  ASSERT_GT(program.pid, 0);

  // Wait until the window shows its teal title: mapped, and at least one frame drawn.
  const int wx = 160, wy = 90;  // 1600 x 900 centred on 1920 x 1080
  Image image;
  bool title_seen = false;
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  while (!title_seen && Clock::now() < deadline) {
    ASSERT_FALSE(wait_exit(program.pid, std::chrono::milliseconds(0)).has_value())
        << "the program ended early: " << read_file(path("err.log"));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    image = screenshot(screen.display(), path("window.png"));
    for (int y = wy; y < wy + 50 && !title_seen && !image.rgb.empty(); ++y) {
      for (int x = wx; x < wx + 200 && !title_seen; ++x) title_seen = near(image.at(x, y), 0, 212, 170, 40);
    }
  }
  ASSERT_TRUE(title_seen) << "no teal title in the window";
  // One more frame, so the screenshot holds a settled layout.
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  image = screenshot(screen.display(), path("window.png"));
  ASSERT_FALSE(image.rgb.empty());

  // The window's background is the theme's WindowBg; outside it the screen stays black.
  EXPECT_TRUE(near(image.at(wx + 4, wy + 4), 13, 13, 13));
  EXPECT_TRUE(near(image.at(wx + 800, wy + 895), 13, 13, 13));
  EXPECT_TRUE(near(image.at(wx - 10, wy + 100), 0, 0, 0));

  // Near the bottom, below every panel, the row crosses three bordered child windows: runs of
  // ChildBg, each inside two border pixels.
  const int row = wy + 850;
  std::vector<std::pair<int, int>> children;  // start and width of each ChildBg run
  for (int x = wx; x < wx + 1600;) {
    if (near(image.at(x, row), 20, 20, 20, 1)) {
      const int start = x;
      while (x < wx + 1600 && near(image.at(x, row), 20, 20, 20, 1)) ++x;
      if (x - start > 100) children.push_back({start, x - start});
    } else {
      ++x;
    }
  }
  ASSERT_EQ(children.size(), 3u);
  for (const auto& [start, width] : children) {
    EXPECT_TRUE(near(image.at(start - 1, row), 38, 38, 38, 3)) << start;
    EXPECT_TRUE(near(image.at(start + width, row), 38, 38, 38, 3)) << start;
  }
  EXPECT_NEAR(children[0].second, 278, 2);  // 280 wide with its border
  EXPECT_NEAR(children[2].second, 318, 2);

  // The right column opens with two tabs: the selected "History" in the library's active tab
  // colour, then "Leaderboard" in the theme's tab colour.
  const int right = children[2].first;
  int selected_tab = -1, other_tab = -1;
  for (int y = wy + 40; y < wy + 90 && other_tab < 0; ++y) {
    for (int x = right; x < right + 300; ++x) {
      const unsigned char* px = image.at(x, y);
      if (selected_tab < 0 && px[2] > 150 && px[2] > px[0] + 60) selected_tab = x;
      if (selected_tab >= 0 && x > selected_tab + 40 && near(px, 31, 31, 31, 1)) {
        other_tab = x;
        break;
      }
    }
  }
  EXPECT_GE(selected_tab, 0) << "no selected tab";
  EXPECT_GT(other_tab, selected_tab) << "no second tab";

  // SIGTERM closes the window as its close button does.
  kill(program.pid, SIGTERM);
  const auto code = wait_exit(program.pid, std::chrono::seconds(1));
  program.pid = -1;
  ASSERT_TRUE(code.has_value()) << "not ended within a second of SIGTERM";
  EXPECT_EQ(*code, 0) << read_file(path("err.log"));

  // The frame cap held: at most 10 frames a second (STRELVIK_MAX_FPS), with a little slack.
  const std::string err = read_file(path("err.log"));
  const auto at = err.find("frames in ");
  ASSERT_NE(at, std::string::npos) << err;
  const std::size_t newline = err.rfind('\n', at);
  const char* line = err.c_str() + (newline == std::string::npos ? 0 : newline + 1);
  double frames = 0, seconds = 0;
  ASSERT_EQ(std::sscanf(line, "strelvik: %lf frames in %lf s", &frames, &seconds), 2) << err;
  EXPECT_LE(frames / seconds, 11.0) << err;

  // The window leaves no settings file in the directory it was started from.
  EXPECT_FALSE(std::filesystem::exists(path("imgui.ini")));

  // Start-up fetched both leaderboards from the loopback server.
  const std::string access = read_file(path("leaderboard.out"));
  EXPECT_NE(access.find("/api.php?type=single"), std::string::npos) << access;
  EXPECT_NE(access.find("/api.php?type=multi"), std::string::npos) << access;

  // Keep the window's picture for whoever wants to look at it (the README's screenshot).
  if (const char* keep = std::getenv("STRELVIK_SCREENSHOT")) {
    EXPECT_EQ(run({"convert", path("window.png"), "-crop", "1600x900+160+90", "+repage", keep}, {}, path("crop.log")),
              0);
  }
}
