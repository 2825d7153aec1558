#pragma once
// A server program started in a child process, and where it listens: the leaderboard server
// prints "strelvik-leaderboard listening on http://HOST:PORT" (https with TLS) once it serves.
// Every test and benchmark that starts it waits for that line here; listening_server.sh does
// the same for shell scripts.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/test_processes.h"

struct ListeningServer {
  pid_t pid = -1;
  int port = 0;
  bool tls = false;
};

// The port and scheme of the first whole "listening on" line in `output` (pid left unset);
// nothing while that line has not ended.
std::optional<ListeningServer> parse_listening_line(std::string_view output);

// Starts `argv` (a port 0 in its --listen is fine) with stdout to `out` and stderr appended to
// `err`, and waits up to `limit` for its listening line: sanitizer builds and wine start slowly.
// Throws std::runtime_error with the error log when the program ends first or does not listen in
// time (it is then ended).
ListeningServer start_listening_server(const std::vector<std::string>& argv, const fs::path& out, const fs::path& err,
                                       std::chrono::seconds limit = std::chrono::seconds(30));
