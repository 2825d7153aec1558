#pragma once
// Real things for the API tests: a temporary folder, a self-signed certificate made with
// openssl, a throw-away PostgreSQL cluster, and the server program itself in a child process.

#include <httplib.h>

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/listening_server.h"

// initdb + pg_ctl on a temporary data and socket folder and a free loopback port, as the
// postgres user when running as root (the server refuses root). Stopped by the destructor.
class PostgresCluster {
 public:
  PostgresCluster();
  ~PostgresCluster();
  // A new empty database; returns its postgresql:// URL.
  std::string create_database();
  int port() const { return port_; }
  // The database going away and coming back on the same port, as in an upgrade or a crash.
  void stop();
  void start();

 private:
  std::vector<std::string> as_owner(std::vector<std::string> argv) const;
  TempDir root_;
  fs::path data_, sockets_;
  int port_ = 0;
  int next_db_ = 0;
  bool started_ = false;
  std::string options_;
};

// The server program, started with the given flags on 127.0.0.1 and a free port.
class ServerProcess {
 public:
  ServerProcess(const std::vector<std::string>& flags, const fs::path& log_dir);
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  int port() const { return port_; }
  bool tls() const { return tls_; }
  // SIGTERM, then wait; returns the exit code (-1 when killed by a signal).
  int stop();
  std::string access_log() const;
  std::string error_log() const;

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  bool tls_ = false;
  fs::path stdout_path_, stderr_path_;
};

// Result of starting the program with bad flags: it must exit by itself.
int run_server_expecting_exit(const std::vector<std::string>& flags, const fs::path& log_dir,
                              std::chrono::seconds limit = std::chrono::seconds(20));

// An HTTPS client that trusts only the test certificate.
std::unique_ptr<httplib::Client> https_client(int port, const Certificate& cert);
