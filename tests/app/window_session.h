#pragma once
// What the real-window tests share: child processes with an environment of their own, a loopback
// leaderboard with its own certificate, and screenshots read back as pixels.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/app/virtual_screen.h"
#include "tests/support/test_processes.h"

extern char** environ;

using Clock = std::chrono::steady_clock;

inline fs::path bin_dir() { return fs::read_symlink("/proc/self/exe").parent_path(); }

// Starts a program with extra environment entries (an empty value removes the variable).
inline pid_t spawn(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
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
inline std::optional<int> wait_exit(pid_t pid, std::chrono::milliseconds limit) {
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

// Runs a program to its end (at most a minute), stdout to `log`, stderr to `log`.err.
inline int run(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
               const std::string& log) {
  const pid_t pid = spawn(argv, env, log, log + ".err");
  if (pid < 0) return -1;
  const std::optional<int> code = wait_exit(pid, std::chrono::seconds(60));
  if (!code) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  return code.value_or(-1);
}

struct Image {
  int width = 0, height = 0;
  std::string rgb;
  const unsigned char* at(int x, int y) const {
    return reinterpret_cast<const unsigned char*>(rgb.data()) + (static_cast<std::size_t>(y) * width + x) * 3;
  }
};

inline bool near(const unsigned char* px, int r, int g, int b, int tolerance = 2) {
  return std::abs(px[0] - r) <= tolerance && std::abs(px[1] - g) <= tolerance && std::abs(px[2] - b) <= tolerance;
}

// The pixels of a PNG, through a binary PPM (its header holds the size); empty on failure.
inline Image read_png(const std::string& png, const std::string& scratch_dir) {
  Image image;
  const std::string ppm = scratch_dir + "/shot.ppm";
  if (run({"convert", png, "-depth", "8", "ppm:" + ppm}, {}, scratch_dir + "/convert.log") != 0) return image;
  const std::string data = read_file(ppm);
  int width = 0, height = 0, max = 0, header = 0;
  if (std::sscanf(data.c_str(), "P6 %d %d %d%n", &width, &height, &max, &header) != 3 || max != 255) return image;
  const std::size_t size = static_cast<std::size_t>(width) * height * 3;
  if (data.size() != static_cast<std::size_t>(header) + 1 + size) return image;
  image.width = width;
  image.height = height;
  image.rgb = data.substr(header + 1);
  return image;
}

// A test with a temporary folder, a loopback leaderboard on request, and the environment that
// points the window program at both.
class WindowProgramTest : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return dir.file(name); }

  // A leaderboard server on a free loopback port with its own certificate and SQLite file; its
  // access log goes to leaderboard.out.
  void start_leaderboard() {
    const std::string server = (bin_dir() / "strelvik-leaderboard").string();
    ASSERT_TRUE(fs::exists(server)) << server;
    const Certificate certificate = make_self_signed_certificate(dir.path(), "leaderboard");
    ca_ = certificate.cert.string();
    leaderboard_.pid = spawn({server, "--listen", "127.0.0.1:0", "--cert", certificate.cert.string(), "--key",
                              certificate.key.string(), "--database", path("leaderboard.sqlite"),
                              // the small test workload scores far above any standard run
                              "--submissions-per-hour", "0", "--max-score-per-thread", "10000000"},
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
            {"STRELVIK_LEADERBOARD_CA", ca_},
            {"STRELVIK_MAX_FPS", "10"},
            {"STRELVIK_REPORT_FRAMES", "1"}};
  }

  // The whole screen, or with `window` an X window id, only that window.
  Image screenshot(const std::string& display, const std::string& png, const std::string& window = "root") {
    if (run({"import", "-display", display, "-window", window, png}, {}, path("import.log")) != 0) return {};
    return read_png(png, dir.path().string());
  }

  TempDir dir;
  Child leaderboard_;
  std::string leaderboard_url_;
  std::string ca_;
};
