#pragma once
// An X server of its own for tests that need a real window: Xvfb with a 1920 x 1080 x 24 screen
// on a display number it picks itself (-displayfd), so parallel runs never collide.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/support/test_processes.h"

extern char** environ;

// A process that is killed when the test is done with it, whatever happened.
struct Child {
  pid_t pid = -1;
  ~Child() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
};

class VirtualScreen {
 public:
  // Xvfb's messages go to xvfb.log in `dir`; display() is empty when it did not start.
  explicit VirtualScreen(const TempDir& dir) {
    int fds[2];
    if (pipe(fds) != 0) return;
    const std::string fd = std::to_string(fds[1]);
    const std::vector<std::string> argv = {"Xvfb", "-displayfd",   fd,          "-screen",
                                           "0",    "1920x1080x24", "-nolisten", "tcp"};
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, dir.file("xvfb.log").c_str(), O_WRONLY | O_CREAT, 0644);
    const int rc = posix_spawnp(&server_.pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
      server_.pid = -1;
      close(fds[0]);
      return;
    }
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
  }
  const std::string& display() const { return display_; }

 private:
  Child server_;
  std::string display_;
};
