// WinINet against the project's own leaderboard server (the Linux program, under wine) on
// loopback: a trusted extra CA gives rows; no extra CA, another CA and a refused port fail as a
// send failure, with nothing sent to the unchecked server. Wine honours no connect or handshake
// time-out of WinINet's: a server that never answers the handshake is ended by the transport's
// own limit.
#include <winsock2.h>
// after winsock2.h
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>

#include <stdexcept>
#include <string>

#include "leaderboard_client/http_transport.h"
#include "tests/leaderboard_client/leaderboard_fixture.h"

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
  client.submit("Windows Test CPU", RunKind::multi, 4321, 8);
  client.stop_all();
  EXPECT_EQ(client.submit_status_text(), "Submitted OK (multi 4321)");
  EXPECT_EQ(client.rows(RunKind::multi), (std::vector<LeaderboardRow>{{"Windows Test CPU", 4321, 1, 1}}));

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
  refused.submit("Unchecked CPU", RunKind::single, 1000, 1);
  refused.stop_all();
  EXPECT_EQ(refused.submit_status_text(), "Submit error: HttpSendRequest failed");

  // Nothing reached the server from the refused requests: its table still has no single rows.
  LeaderboardClient client(server_settings(server.port(), shared->cert.cert));
  client.fetch(RunKind::single);
  client.stop_all();
  EXPECT_EQ(client.fetch_error_text(), "");
  EXPECT_TRUE(client.rows(RunKind::single).empty());
}

// The kernel completes the TCP connection from the listen queue; nothing ever answers the TLS
// handshake. The request ends at the transport's limit (here 1.5 s), not never.
TEST(WinInet, AServerThatNeverAnswersTheHandshakeIsASendFailure) {
  WSADATA data;
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
  const SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);

  LeaderboardSettings settings = server_settings(ntohs(address.sin_port), shared->cert.cert);
  settings.connect_timeout = std::chrono::milliseconds(500);
  settings.receive_timeout = std::chrono::seconds(1);
  EXPECT_EQ(failure_of(settings), "HttpSendRequest failed");
  LeaderboardClient client(settings);
  client.fetch(RunKind::multi);
  client.stop_all();
  EXPECT_EQ(client.fetch_error_text(), "HttpSendRequest failed");
  closesocket(listener);
  WSACleanup();
}
