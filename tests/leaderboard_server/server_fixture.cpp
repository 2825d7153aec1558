#include "tests/leaderboard_server/server_fixture.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

// ---- PostgreSQL ---------------------------------------------------------------------------

std::vector<std::string> PostgresCluster::as_owner(std::vector<std::string> argv) const {
  if (geteuid() != 0) return argv;
  argv.insert(argv.begin(), {"runuser", "-u", "postgres", "--"});
  return argv;
}

PostgresCluster::PostgresCluster() {
  const fs::path bin = "/usr/lib/postgresql/15/bin";
  if (!fs::exists(bin / "initdb")) throw std::runtime_error("PostgreSQL 15 is not installed (scripts/install-deps.sh)");
  data_ = root_.path() / "data";
  sockets_ = root_.path() / "sockets";
  fs::create_directories(sockets_);
  if (geteuid() == 0) {
    const passwd* pg = getpwnam("postgres");
    if (!pg) throw std::runtime_error("no postgres user");
    // The temporary root is root's and private; the cluster's owner must reach into it.
    fs::permissions(root_.path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::create_directories(data_);
    if (chown(data_.c_str(), pg->pw_uid, pg->pw_gid) != 0 || chown(sockets_.c_str(), pg->pw_uid, pg->pw_gid) != 0)
      throw std::runtime_error("cannot hand the cluster folders to postgres");
  }
  const fs::path log = root_.path() / "postgres.log";
  { std::ofstream touch(log); }
  if (geteuid() == 0) {
    const passwd* pg = getpwnam("postgres");
    if (chown(log.c_str(), pg->pw_uid, pg->pw_gid) != 0) throw std::runtime_error("cannot hand the log to postgres");
  }
  if (run_program(as_owner({(bin / "initdb").string(), "-D", data_.string(), "-U", "postgres", "-A", "trust", "-E",
                            "UTF8", "--no-locale", "--no-sync"}),
                  root_.path() / "initdb.log") != 0)
    throw std::runtime_error("initdb failed: " + read_file(root_.path() / "initdb.log"));
  // A taken port makes pg_ctl fail; another free port is then tried.
  for (int attempt = 0; attempt < 5 && !started_; ++attempt) {
    port_ = free_loopback_port();
    options_ = "-p " + std::to_string(port_) + " -k " + sockets_.string() +
               " -c listen_addresses=127.0.0.1 -c fsync=off -c synchronous_commit=off"
               " -c full_page_writes=off -c max_connections=200";
    started_ = run_program(as_owner({(bin / "pg_ctl").string(), "-D", data_.string(), "-l", log.string(), "-o",
                                     options_, "-w", "-t", "60", "start"}),
                           root_.path() / "pg_ctl.log") == 0;
  }
  if (!started_) throw std::runtime_error("PostgreSQL did not start: " + read_file(log));
}

PostgresCluster::~PostgresCluster() {
  if (started_)
    run_program(as_owner({"/usr/lib/postgresql/15/bin/pg_ctl", "-D", data_.string(), "-m", "immediate", "-w", "stop"}),
                root_.path() / "pg_ctl_stop.log");
}

void PostgresCluster::stop() {
  if (run_program(as_owner({"/usr/lib/postgresql/15/bin/pg_ctl", "-D", data_.string(), "-m", "fast", "-w", "stop"}),
                  root_.path() / "pg_ctl_stop.log") != 0)
    throw std::runtime_error("pg_ctl stop failed: " + read_file(root_.path() / "pg_ctl_stop.log"));
  started_ = false;
}

void PostgresCluster::start() {
  if (run_program(as_owner({"/usr/lib/postgresql/15/bin/pg_ctl", "-D", data_.string(), "-l",
                            (root_.path() / "postgres.log").string(), "-o", options_, "-w", "-t", "60", "start"}),
                  root_.path() / "pg_ctl.log") != 0)
    throw std::runtime_error("pg_ctl start failed: " + read_file(root_.path() / "pg_ctl.log"));
  started_ = true;
}

std::string PostgresCluster::create_database() {
  const std::string name = "leaderboard_" + std::to_string(++next_db_);
  if (run_program({"psql", "-h", "127.0.0.1", "-p", std::to_string(port_), "-U", "postgres", "-d", "postgres", "-q",
                   "-c", "CREATE DATABASE " + name},
                  root_.path() / "psql.log") != 0)
    throw std::runtime_error("CREATE DATABASE failed: " + read_file(root_.path() / "psql.log"));
  return "postgresql://postgres@127.0.0.1:" + std::to_string(port_) + "/" + name;
}

// ---- the server program -------------------------------------------------------------------

ServerProcess::ServerProcess(const std::vector<std::string>& flags, const fs::path& log_dir) {
  static int counter = 0;
  const std::string id = std::to_string(++counter);
  stdout_path_ = log_dir / ("server-" + id + ".out");
  stderr_path_ = log_dir / ("server-" + id + ".err");
  std::vector<std::string> argv{STRELVIK_SERVER_BIN, "--listen", "127.0.0.1:0"};
  argv.insert(argv.end(), flags.begin(), flags.end());
  const ListeningServer server = start_listening_server(argv, stdout_path_, stderr_path_);
  pid_ = server.pid;
  port_ = server.port;
  tls_ = server.tls;
}

ServerProcess::~ServerProcess() {
  if (pid_ > 0) kill_program(pid_);
}

int ServerProcess::stop() {
  if (pid_ <= 0) return -1;
  const int code = stop_program(pid_);
  pid_ = -1;
  return code;
}

std::string ServerProcess::access_log() const { return read_file(stdout_path_); }

std::string ServerProcess::error_log() const { return read_file(stderr_path_); }

int run_server_expecting_exit(const std::vector<std::string>& flags, const fs::path& log_dir,
                              std::chrono::seconds limit) {
  std::vector<std::string> argv{STRELVIK_SERVER_BIN};
  argv.insert(argv.end(), flags.begin(), flags.end());
  const pid_t pid = spawn_program(argv, log_dir / "refused.out", log_dir / "refused.err");
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (const auto code = exit_code_if_ended(pid)) return *code;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill_program(pid);
  return -1000;  // still running: it served when it should have refused
}

std::unique_ptr<httplib::Client> https_client(int port, const Certificate& cert) {
  auto client = std::make_unique<httplib::Client>("https://127.0.0.1:" + std::to_string(port));
  client->set_ca_cert_path(cert.cert.c_str());
  client->enable_server_certificate_verification(true);
  client->set_connection_timeout(10);
  client->set_tcp_nodelay(true);  // headers and body go in two writes; don't let Nagle hold the body
  client->set_read_timeout(30);
  client->set_write_timeout(10);
  client->set_default_headers({{"User-Agent", "Strelvik/1.4"}});
  return client;
}
