// The window program as a user meets it: a real window on a virtual X screen (Xvfb, Mesa's
// software OpenGL), a loopback leaderboard and a temporary history. The screenshot is checked
// for the theme and the layout, and the program must close cleanly on SIGTERM.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/app/virtual_screen.h"
#include "tests/history/temp_dir.h"

extern char** environ;

using Clock = std::chrono::steady_clock;

static std::filesystem::path bin_dir() { return std::filesystem::read_symlink("/proc/self/exe").parent_path(); }

static std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Starts a program with extra environment entries (an empty value removes the variable).
static pid_t spawn(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                   const std::string& out, const std::string& err, const std::string& cwd = "") {
  std::vector<std::string> entries;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    if (!env.count(entry.substr(0, entry.find('=')))) entries.push_back(entry);
  }
  for (const auto& [name, value] : env) {
    if (!value.empty()) entries.push_back(name + "=" + value);
  }
  std::vector<char*> args, envp;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  for (const std::string& e : entries) envp.push_back(const_cast<char*>(e.c_str()));
  args.push_back(nullptr);
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

// The exit code, or nullopt when the process has not ended within `limit` (or died by a signal).
static std::optional<int> wait_exit(pid_t pid, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  for (;;) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      if (WIFEXITED(status)) return WEXITSTATUS(status);
      return std::nullopt;
    }
    if (Clock::now() > deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

static int run(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
               const std::string& log) {
  const pid_t pid = spawn(argv, env, log, log + ".err");
  if (pid < 0) return -1;
  return wait_exit(pid, std::chrono::seconds(60)).value_or(-1);
}

struct Image {
  int width = 0, height = 0;
  std::string rgb;
  const unsigned char* at(int x, int y) const {
    return reinterpret_cast<const unsigned char*>(rgb.data()) + (static_cast<std::size_t>(y) * width + x) * 3;
  }
};

static bool near(const unsigned char* px, int r, int g, int b, int tolerance = 2) {
  return std::abs(px[0] - r) <= tolerance && std::abs(px[1] - g) <= tolerance && std::abs(px[2] - b) <= tolerance;
}

class WindowProgram : public ::testing::Test {
 protected:
  std::string path(const char* name) const { return dir.file(name); }

  // A leaderboard server on a free loopback port with its own certificate and SQLite file.
  void start_leaderboard() {
    const std::string server = (bin_dir() / "strelvik-leaderboard").string();
    ASSERT_TRUE(std::filesystem::exists(server)) << server;
    ASSERT_EQ(run({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                   "-keyout", path("key.pem"), "-out", path("cert.pem"), "-days", "2", "-subj", "/CN=localhost",
                   "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost"},
                  {}, path("openssl.log")),
              0);
    leaderboard_.pid = spawn({server, "--listen", "127.0.0.1:0", "--cert", path("cert.pem"), "--key", path("key.pem"),
                              "--database", path("leaderboard.sqlite")},
                             {}, path("leaderboard.out"), path("leaderboard.err"));
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (Clock::now() < deadline) {
      const std::string out = read_file(path("leaderboard.out"));
      const auto at = out.find("https://127.0.0.1:");
      if (at != std::string::npos && out.find('\n', at) != std::string::npos) {
        leaderboard_url_ = out.substr(at, out.find_first_of(" \n/", at + 8) - at);
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    FAIL() << "the leaderboard did not start: " << read_file(path("leaderboard.err"));
  }

  std::map<std::string, std::string> program_env(const std::string& display) const {
    return {{"DISPLAY", display},
            {"WAYLAND_DISPLAY", ""},
            {"STRELVIK_HISTORY", path("history.json")},
            {"STRELVIK_LEADERBOARD_URL", leaderboard_url_},
            {"STRELVIK_LEADERBOARD_CA", leaderboard_url_.empty() ? "" : path("cert.pem")},
            {"STRELVIK_MAX_FPS", "10"},
            {"STRELVIK_REPORT_FRAMES", "1"}};
  }

  Image screenshot(const std::string& display, const std::string& png) {
    Image image;
    if (run({"import", "-display", display, "-window", "root", png}, {}, path("import.log")) != 0) return image;
    if (run({"convert", png, "-depth", "8", "rgb:" + path("shot.rgb")}, {}, path("convert.log")) != 0) return image;
    image.width = 1920;
    image.height = 1080;
    image.rgb = read_file(path("shot.rgb"));
    if (image.rgb.size() != 1920u * 1080u * 3u) image.rgb.clear();
    return image;
  }

  TempDir dir;
  Child leaderboard_;
  std::string leaderboard_url_;
};

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

  // Halfway down, the row crosses three bordered child windows: runs of ChildBg, each inside
  // two border pixels.
  const int row = wy + 450;
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
    EXPECT_EQ(run({"convert", path("window.png"), "-crop", "1600x900+160+90", "+repage", keep}, {}, path("crop.log")), 0);
  }
}
