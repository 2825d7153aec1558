#pragma once
// Real things the loopback tests share: child processes, a self-signed certificate made by
// openssl, and a free port (and the temporary folder they live in).
#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

// Starts argv[0] (looked up in PATH) with stdin from /dev/null, stdout to `out` and stderr
// appended to `err`. On Windows, under wine, an argv[0] that begins with "/" is a Linux program.
pid_t spawn_program(const std::vector<std::string>& argv, const fs::path& out, const fs::path& err);
// Waits for the child; its exit code, or -1 when a signal ended it.
int wait_exit(pid_t pid);
// The child's exit code once it has ended (and then it is waited for), nothing while it runs.
std::optional<int> exit_code_if_ended(pid_t pid);
// Asks the child to stop (SIGTERM, for a Linux program under wine too) and waits for it; its exit
// code as wait_exit gives it.
int stop_program(pid_t pid);
// Ends the child at once (SIGKILL) and waits for it: for a child that may not be listening yet.
void kill_program(pid_t pid);
// Runs a program to its end with both outputs in `log`; returns its exit code.
int run_program(const std::vector<std::string>& argv, const fs::path& log);
// True once the process has a handler for `signal_number` (its SigCgt mask in /proc), so that a
// test can send the signal without guessing how long the program takes to start.
bool catches_signal(pid_t pid, int signal_number);

// A path as a Linux program reads it in its arguments: the path itself on Linux, its Unix path
// under wine.
std::string unix_path(const fs::path& path);

// A certificate for 127.0.0.1 and localhost, valid for two days: NAME-cert.pem and NAME-key.pem.
struct Certificate {
  fs::path cert, key;
};
Certificate make_self_signed_certificate(const fs::path& dir, const std::string& name = "server");

// A loopback port on which nothing listens at the moment of the call.
int free_loopback_port();
