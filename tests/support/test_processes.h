#pragma once
// Real things the loopback tests share: a temporary folder, child processes, a self-signed
// certificate made by openssl, and a free port.
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

// A fresh private folder, removed with everything in it unless STRELVIK_TEST_KEEP_FILES is set
// (to read a failed run's server logs).
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

std::string read_file(const fs::path& path);

// Starts argv[0] (looked up in PATH) with stdin from /dev/null, stdout to `out` and stderr
// appended to `err`. On Windows, under wine, an argv[0] that begins with "/" is a Linux program.
pid_t spawn_program(const std::vector<std::string>& argv, const fs::path& out, const fs::path& err);
// Waits for the child; its exit code, or -1 when a signal ended it.
int wait_exit(pid_t pid);
// Runs a program to its end with both outputs in `log`; returns its exit code.
int run_program(const std::vector<std::string>& argv, const fs::path& log);
// True once the process has a handler for `signal_number` (its SigCgt mask in /proc), so that a
// test can send the signal without guessing how long the program takes to start.
bool catches_signal(pid_t pid, int signal_number);

#ifdef _WIN32
// Under wine: the Unix path of a Windows path, for the arguments of a Linux program.
std::string unix_path(const fs::path& path);
// Ends a child (SIGTERM for a Linux one) and waits for it.
void stop_program(pid_t pid);
#endif

// A certificate for 127.0.0.1 and localhost, valid for two days: NAME-cert.pem and NAME-key.pem.
struct Certificate {
  fs::path cert, key;
};
Certificate make_self_signed_certificate(const fs::path& dir, const std::string& name = "server");

// A loopback port on which nothing listens at the moment of the call.
int free_loopback_port();
