// The Windows twin of the fixture's real-server part: the Linux leaderboard server, started
// under wine with Unix paths. (The scripted TLS server is Linux only.)
#include <windows.h>

#include <cstdlib>
#include <stdexcept>

#include "tests/leaderboard/leaderboard_fixture.h"

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

LeaderboardServer::LeaderboardServer(const Certificate& cert, const fs::path& dir) {
  static int counter = 0;
  const std::string id = std::to_string(++counter);
  const fs::path out = dir / ("server-" + id + ".out");
  const fs::path err = dir / ("server-" + id + ".err");
  pid_ = spawn_program(
      server_command(unix_path(cert.cert), unix_path(cert.key), unix_path(dir / ("leaderboard-" + id + ".sqlite"))),
      out, err);
  // The banner line says where the server listens.
  for (int i = 0; i < 1500; ++i) {
    const std::string text = read_file(out);
    if (const auto at = text.find(" listening on ");
        at != std::string::npos && text.find('\n', at) != std::string::npos) {
      const std::string line = text.substr(at, text.find('\n', at) - at);
      port_ = std::stoi(line.substr(line.rfind(':') + 1));
      return;
    }
    if (fs::exists(out.string() + ".exit")) break;  // the wrapper's exit file: it ended
    Sleep(20);
  }
  stop_program(pid_);
  pid_ = -1;
  throw std::runtime_error("server did not start listening: " + read_file(err));
}

LeaderboardServer::~LeaderboardServer() {
  if (pid_ > 0) stop_program(pid_);
}
