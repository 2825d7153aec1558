// The runner against a leaderboard server started on loopback over HTTPS, as the README shows it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <sstream>

#include "../leaderboard_client/leaderboard_fixture.h"
#include "cli/leaderboard_command.h"
#include "system/probe.h"

namespace {

struct Outcome {
  int exit_code = -1;
  std::string out;
  std::string err;
};

fs::path runner() { return fs::read_symlink("/proc/self/exe").parent_path() / "strelvik-cli"; }

// `env` is prefixed to the command line: VAR=value pairs for the runner alone.
Outcome run(const std::string& env, const std::string& args, const fs::path& dir) {
  const fs::path out = dir / "out.txt";
  const fs::path err = dir / "err.txt";
  const std::string command = env + " " + runner().string() + " " + args + " >" + out.string() + " 2>" + err.string();
  const int status = std::system(command.c_str());
  return Outcome{WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(out), read_file(err)};
}

class RunnerWithLeaderboard : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    signal(SIGPIPE, SIG_IGN);
    use_no_proxy();
    unsetenv("STRELVIK_NO_SUBMIT");
  }

  TempDir dir;
  Certificate cert = make_self_signed_certificate(dir.path(), "server");
  LeaderboardServer server{cert, dir.path()};
  const std::string env = "STRELVIK_LEADERBOARD_URL=https://127.0.0.1:" + std::to_string(server.port()) +
                          " STRELVIK_LEADERBOARD_CA=" + cert.cert.string();
  const std::string cpu = trim_leading_spaces(make_platform_system_sources()->cpu_brand());
};

TEST_F(RunnerWithLeaderboard, ListsEveryKindWithThisMachinesRowMarked) {
  LeaderboardClient seed(server_settings(server.port(), cert.cert));
  seed.submit("Other CPU", RunKind::multi, 9000, 8);
  seed.stop_all();
  seed.submit(cpu, RunKind::multi, 8123, 16);
  seed.stop_all();
  ASSERT_EQ(seed.submit_status_text(), "Submitted OK (multi 8123)");

  const Outcome outcome = run(env, "leaderboard", dir.path());
  EXPECT_EQ(outcome.exit_code, 0) << outcome.err;
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(outcome.out,
            "Single-core leaderboard\nNo data yet\n\nSingle-core + SMT leaderboard\nNo data yet\n\n"
            "Multi-core leaderboard\n" +
                leaderboard_table_text({{"Other CPU", 9000, 1}, {cpu, 8123, 1}}, cpu));
  EXPECT_NE(outcome.out.find("* this machine"), std::string::npos);
}

TEST_F(RunnerWithLeaderboard, CustomRunsAreNeverSubmitted) {
  const Outcome outcome = run(env, "single --size 64x48 --spp 1 --depth 4 --tile 16 --json --no-history", dir.path());
  ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
  const auto line = nlohmann::json::parse(outcome.out);
  EXPECT_TRUE(line["submit_status"].is_null());
  EXPECT_TRUE(line["comparison"].is_null());
  EXPECT_EQ(line["comparison_reason"], "custom runs are not compared");
  const Outcome listed = run(env, "leaderboard single", dir.path());
  EXPECT_EQ(listed.out, "Single-core leaderboard\nNo data yet\n");
}

TEST_F(RunnerWithLeaderboard, UnusableAddressesAreReportedWithoutARequest) {
  Outcome outcome = run("STRELVIK_LEADERBOARD_URL=https://lb.strelvik.example", "leaderboard multi", dir.path());
  EXPECT_EQ(outcome.exit_code, 1);
  // Only that, and how to configure one: no empty tables.
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err.substr(0, 48), "strelvik-cli: Leaderboard not configured\nSet STR") << outcome.err;

  outcome = run("STRELVIK_LEADERBOARD_URL=http://127.0.0.1:" + std::to_string(server.port()), "leaderboard single",
                dir.path());
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_EQ(outcome.err,
            "strelvik-cli: leaderboard address must be https://HOST or "
            "https://HOST:PORT, not 'http://127.0.0.1:" +
                std::to_string(server.port()) + "'\n");

  // Without the test authority the server's certificate is not trusted.
  outcome = run("STRELVIK_LEADERBOARD_URL=https://127.0.0.1:" + std::to_string(server.port()), "leaderboard single",
                dir.path());
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_EQ(outcome.err.rfind("strelvik-cli: single leaderboard: The leaderboard's certificate is not trusted", 0), 0u)
      << outcome.err;
}

TEST_F(RunnerWithLeaderboard, RequestsGoThroughTheSystemsProxySettings) {
  const std::string proxy = " https_proxy=http://127.0.0.1:" + std::to_string(free_loopback_port());
  Outcome outcome = run(env + proxy, "leaderboard single", dir.path());
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_EQ(outcome.err.rfind("strelvik-cli: single leaderboard: Could not reach the leaderboard: ", 0), 0u)
      << outcome.err;
  outcome = run(env + proxy + " no_proxy=127.0.0.1", "leaderboard single", dir.path());
  EXPECT_EQ(outcome.exit_code, 0) << outcome.err;
}

}  // namespace
