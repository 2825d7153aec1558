// The fixture's parts for both platforms: settings for loopback servers and the real server.
#include "tests/leaderboard_client/leaderboard_fixture.h"

#include <stdexcept>

LeaderboardSettings server_settings(int port, const fs::path& ca) {
  LeaderboardSettings s =
      make_leaderboard_settings("https://127.0.0.1:" + std::to_string(port), ca.string().c_str(), nullptr);
  if (!s.unusable_reason.empty()) throw std::runtime_error(s.unusable_reason);
  return s;
}

LeaderboardSettings test_settings(int port, const fs::path& ca) {
  LeaderboardSettings s = server_settings(port, ca);
  s.connect_timeout = std::chrono::milliseconds(2000);
  s.receive_timeout = std::chrono::seconds(1);
  return s;
}

void use_no_proxy() {
  for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) unset_variable(name);
}

// One command line on both platforms, so that the Windows tests meet the server the Linux tests
// do. Under wine the server is the Linux program, so its paths are Unix paths.
std::vector<std::string> server_command(const fs::path& cert, const fs::path& key, const fs::path& database) {
  return {STRELVIK_SERVER_BIN, "--listen", "127.0.0.1:0", "--cert", unix_path(cert), "--key", unix_path(key),
          "--database", unix_path(database), "--rate-limit", "0", "--submissions-per-hour", "0",
          // the tests' small workloads score far above any standard run
          "--max-score-per-thread", "10000000"};
}

LeaderboardServer::LeaderboardServer(const Certificate& cert, const fs::path& dir) {
  static int counter = 0;
  const std::string id = std::to_string(++counter);
  const ListeningServer server =
      start_listening_server(server_command(cert.cert, cert.key, dir / ("leaderboard-" + id + ".sqlite")),
                             dir / ("server-" + id + ".out"), dir / ("server-" + id + ".err"));
  pid_ = server.pid;
  port_ = server.port;
}

LeaderboardServer::~LeaderboardServer() { stop_program(pid_); }
