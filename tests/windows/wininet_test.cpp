// WinINet against the project's own leaderboard server (the Linux program, under wine) on
// loopback: a trusted extra CA gives rows; no extra CA, another CA and a refused port fail as a
// send failure, with nothing sent to the unchecked server. Connect time-outs are not honoured
// by wine, so no test waits for one.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "leaderboard/http_transport.h"
#include "tests/leaderboard/leaderboard_fixture.h"

namespace {

struct Shared {
  TempDir dir;
  Certificate cert = make_self_signed_certificate(dir.path(), "server");
  Certificate other = make_self_signed_certificate(dir.path(), "other");
  LeaderboardServer server{cert, dir.path()};
};
Shared* shared = nullptr;

const auto* const environment = ::testing::AddGlobalTestEnvironment(new SharedEnvironment<Shared>(shared));

std::string failure_of(const LeaderboardSettings& settings) {
  try {
    http_get(settings, "/api.php?type=multi");
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "no failure";
}

fs::path this_folder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return fs::path(path).parent_path();
}

}  // namespace

TEST(WinInet, ATrustedExtraAuthorityGivesTheRowsAndSubmissionsArrive) {
  LeaderboardClient client(server_settings(shared->server.port(), shared->cert.cert));
  client.submit("Windows Test CPU", "multi", 4321, 8);
  client.stop_all();
  EXPECT_EQ(client.submit_status_text(), "Submitted OK (multi 4321)");
  EXPECT_EQ(client.rows("multi"), (std::vector<LeaderboardRow>{{"Windows Test CPU", 4321, 1}}));

  // The runner with the environment's address and authority, as a user would set them.
  TempDir dir;
  set_variable("STRELVIK_LEADERBOARD_URL", "https://127.0.0.1:" + std::to_string(shared->server.port()));
  set_variable("STRELVIK_LEADERBOARD_CA", shared->cert.cert.string());
  const int code =
      run_program({(this_folder() / "strelvik-cli.exe").string(), "leaderboard", "multi"}, dir.path() / "out.txt");
  unset_variable("STRELVIK_LEADERBOARD_URL");
  unset_variable("STRELVIK_LEADERBOARD_CA");
  EXPECT_EQ(code, 0);
  EXPECT_NE(read_file(dir.path() / "out.txt").find("Windows Test CPU"), std::string::npos)
      << read_file(dir.path() / "out.txt");
}

TEST(WinInet, AnUntrustedServerOrARefusedPortIsASendFailure) {
  // A server of its own: WinINet pools connections per address for the whole process, and a
  // pooled connection that an earlier request checked is reused without a new handshake.
  TempDir dir;
  LeaderboardServer server{shared->cert, dir.path()};
  LeaderboardSettings no_ca = server_settings(server.port(), shared->cert.cert);
  no_ca.extra_ca_pem.clear();
  EXPECT_EQ(failure_of(no_ca), "HttpSendRequest failed");
  EXPECT_EQ(failure_of(server_settings(server.port(), shared->other.cert)), "HttpSendRequest failed");
  EXPECT_EQ(failure_of(server_settings(free_loopback_port(), shared->cert.cert)), "HttpSendRequest failed");
  LeaderboardClient refused(server_settings(server.port(), shared->other.cert));
  refused.submit("Unchecked CPU", "single", 1000, 1);
  refused.stop_all();
  EXPECT_EQ(refused.submit_status_text(), "Submit error: HttpSendRequest failed");

  // Nothing reached the server from the refused requests: its table still has no single rows.
  LeaderboardClient client(server_settings(server.port(), shared->cert.cert));
  client.fetch("single");
  client.stop_all();
  EXPECT_EQ(client.fetch_error_text(), "");
  EXPECT_TRUE(client.rows("single").empty());
}
