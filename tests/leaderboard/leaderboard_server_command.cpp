// One command line for the server on both platforms, so that the Windows tests meet the server
// the Linux tests do.
#include "tests/leaderboard/leaderboard_fixture.h"

std::vector<std::string> server_command(const std::string& cert, const std::string& key, const std::string& database) {
  return {STRELVIK_SERVER_BIN, "--listen", "127.0.0.1:0", "--cert", cert, "--key", key, "--database", database,
          "--rate-limit", "0", "--submissions-per-hour", "0",
          // the tests' small workloads score far above any standard run
          "--max-score-per-thread", "10000000"};
}
