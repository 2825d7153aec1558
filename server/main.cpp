// strelvik-leaderboard: the HTTP(S) server behind the benchmark's online leaderboard.
#include "server/http_api.h"
#include "server/listen_address.h"
#include "server/run_store.h"

#include <httplib.h>
#include <CLI/CLI.hpp>

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>

int main(int argc, char** argv) {
  CLI::App app{
      "Leaderboard server for the Strelvik CPU benchmark.\n"
      "Serves GET/POST /api.php and GET /healthz; one access-log line per request on stdout."};
  std::string listen = "127.0.0.1:8080";
  std::string cert, key;
  std::string database = "strelvik-leaderboard.sqlite";
  unsigned rate_limit = 30;
  std::size_t max_rows = 100;
  bool trust_proxy = false;
  std::size_t workers = 64;
  app.add_option("--listen", listen, "ADDR:PORT to listen on ([::1]:PORT for IPv6; port 0 picks a free one)")
      ->capture_default_str();
  app.add_option("--cert", cert, "TLS certificate chain (PEM); with --key serves HTTPS")->check(CLI::ExistingFile);
  app.add_option("--key", key, "TLS private key (PEM)")->check(CLI::ExistingFile);
  app.add_option("--database", database, "SQLite file, or postgresql://user@host/dbname")->capture_default_str();
  app.add_option("--rate-limit", rate_limit, "submissions per client address and hour, per server instance; 0 = off")
      ->capture_default_str();
  app.add_option("--max-rows", max_rows, "rows per leaderboard reply")
      ->check(CLI::Range(1, 10000))
      ->capture_default_str();
  app.add_flag("--trust-proxy", trust_proxy, "take the client address from the rightmost X-Forwarded-For entry");
  app.add_option("--threads", workers, "worker threads; each serves one connection at a time, keep-alive included")
      ->check(CLI::Range(2, 4096))
      ->capture_default_str();
  CLI11_PARSE(app, argc, argv);

  if (cert.empty() != key.empty()) {
    std::fprintf(stderr, "--cert and --key go together\n");
    return 2;
  }
  const auto address = parse_listen_address(listen);
  if (!address) {
    std::fprintf(stderr, "--listen wants ADDR:PORT, for example 127.0.0.1:8080 or [::1]:8443, not %s\n",
                 listen.c_str());
    return 2;
  }
  const bool tls = !cert.empty();
  if (!tls && !is_loopback_host(address->host)) {
    std::fprintf(stderr,
                 "refusing plain HTTP on %s: without --cert/--key only loopback addresses are served "
                 "(put a TLS reverse proxy in front)\n",
                 address->host.c_str());
    return 2;
  }

  // Block the stop signals before any thread starts, so every thread inherits the mask and
  // only the waiter below ever sees them.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  // A client that hangs up mid-reply must not kill the process.
  signal(SIGPIPE, SIG_IGN);

  std::unique_ptr<IRunStore> store;
  try {
    store = open_run_store(database);
  } catch (const StoreError& e) {
    std::fprintf(stderr, "cannot open the database: %s\n", e.what());
    return 1;
  }

  std::unique_ptr<httplib::Server> server;
  if (tls) {
    auto ssl = std::make_unique<httplib::SSLServer>(cert.c_str(), key.c_str());
    if (!ssl->is_valid()) {
      std::fprintf(stderr, "cannot load the TLS certificate %s or key %s\n", cert.c_str(), key.c_str());
      return 1;
    }
    server = std::move(ssl);
  } else {
    server = std::make_unique<httplib::Server>();
  }

  // The library gives each connection one worker for its whole keep-alive life, so the pool
  // size is the number of connections served at once; the rest wait in the accept queue.
  server->new_task_queue = [workers] { return new httplib::ThreadPool(workers); };
  // The default of 5 requests per connection makes busy clients and proxies reconnect (and
  // redo the TLS handshake) all the time.
  server->set_keep_alive_max_count(10000);
  server->set_keep_alive_timeout(5);
  server->set_read_timeout(5);
  server->set_write_timeout(5);
  server->set_tcp_nodelay(true);

  ApiOptions options;
  options.rate_limit_per_hour = rate_limit;
  options.max_rows = max_rows;
  options.trust_proxy = trust_proxy;
  LeaderboardApi api(*store, options);
  api.install(*server);

  int port = address->port;
  if (port == 0) {
    port = server->bind_to_any_port(address->host);
    if (port < 0) port = 0;
  } else if (!server->bind_to_port(address->host, port)) {
    port = 0;
  }
  if (port == 0) {
    std::fprintf(stderr, "cannot listen on %s\n", listen.c_str());
    return 1;
  }

  std::thread stopper([&] {
    int sig = 0;
    sigwait(&stop_signals, &sig);
    // Closes the listening socket; workers finish the requests in flight, then listen returns.
    server->stop();
  });

  const bool v6 = address->host.find(':') != std::string::npos;
  char banner[200];
  std::snprintf(banner, sizeof banner, "strelvik-leaderboard listening on %s://%s%s%s:%d\n", tls ? "https" : "http",
                v6 ? "[" : "", address->host.c_str(), v6 ? "]" : "", port);
  [[maybe_unused]] const auto written = ::write(STDOUT_FILENO, banner, std::strlen(banner));

  const bool served = server->listen_after_bind();
  // Wake the waiter if listening ended by itself rather than by a signal.
  pthread_kill(stopper.native_handle(), SIGTERM);
  stopper.join();
  return served ? 0 : 1;
}
