#pragma once
// Real things for the leaderboard client's tests: a temporary folder, certificates made with
// openssl, the leaderboard server program on loopback, and a scripted TLS server that misbehaves
// in ways no HTTP library would (stalls, drops, oversized or malformed replies).

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <signal.h>

#include "leaderboard_client/leaderboard_client.h"
#include "tests/support/listening_server.h"
#include "tests/support/test_environment.h"

// Rows in test failure messages.
inline void PrintTo(const LeaderboardRow& r, std::ostream* os) {
  *os << "{\"" << r.cpu << "\", " << r.avg_score << ", " << r.runs;
  if (r.counted_runs) *os << ", " << *r.counted_runs;
  *os << "}";
}

// Settings for https://127.0.0.1:PORT trusting `ca`, with time-outs short enough for stall tests.
LeaderboardSettings test_settings(int port, const fs::path& ca);
// The same with the production time-outs, for requests to the real server: a sanitizer build
// of it under many concurrent requests can take longer than the short time-outs.
LeaderboardSettings server_settings(int port, const fs::path& ca);

// Clears the proxy variables so that loopback requests go straight to the test servers.
void use_no_proxy();

// The server's command line: 127.0.0.1 and a free port, no limits on requests or submissions,
// and a score ceiling above what the tests' small workloads score (far above any standard run).
std::vector<std::string> server_command(const fs::path& cert, const fs::path& key, const fs::path& database);

// strelvik-leaderboard on 127.0.0.1 and a free port, over HTTPS, rate limit off.
class LeaderboardServer {
 public:
  LeaderboardServer(const Certificate& cert, const fs::path& dir);
  ~LeaderboardServer();
  LeaderboardServer(const LeaderboardServer&) = delete;
  LeaderboardServer& operator=(const LeaderboardServer&) = delete;
  int port() const { return port_; }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

// Serves each accepted TLS connection with the next queued script, one connection at a time,
// after reading the request. With no script left it closes the connection at once.
class ScriptedTlsServer {
 public:
  struct Step {
    enum class Kind { Send, Pause, Hold } kind;
    std::string bytes;                  // Send
    std::chrono::milliseconds pause{};  // Pause
  };
  using Script = std::vector<Step>;

  explicit ScriptedTlsServer(const Certificate& cert);
  ~ScriptedTlsServer();
  ScriptedTlsServer(const ScriptedTlsServer&) = delete;
  ScriptedTlsServer& operator=(const ScriptedTlsServer&) = delete;

  int port() const { return port_; }
  void push(Script script);
  std::vector<std::string> requests();  // each request as received, headers and body

  static Step send(std::string bytes) { return {Step::Kind::Send, std::move(bytes), {}}; }
  static Step pause(std::chrono::milliseconds ms) { return {Step::Kind::Pause, {}, ms}; }
  static Step hold() { return {Step::Kind::Hold, {}, {}}; }  // silent until the client leaves
  // A complete reply with Content-Length.
  static Script reply(int status, const std::string& body);

 private:
  void serve();
  void handle(int fd);

  void* ctx_ = nullptr;  // SSL_CTX
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::deque<Script> scripts_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

// One T for the whole test program (servers and certificates are slow to make), created before
// the first test and deleted after the last. SIGPIPE is ignored: the scripted server writes to
// clients that may have left.
template <class T>
class SharedEnvironment : public ::testing::Environment {
 public:
  explicit SharedEnvironment(T*& slot) : slot_(slot) {}
  void SetUp() override {
#ifdef SIGPIPE
    signal(SIGPIPE, SIG_IGN);
#endif
    use_no_proxy();
    slot_ = new T;
  }
  void TearDown() override {
    delete slot_;
    slot_ = nullptr;
  }

 private:
  T*& slot_;
};
