// strelvik-leaderboard: the HTTP(S) server behind the benchmark's online leaderboard.
#include "leaderboard_server/api/http_api.h"
#include "leaderboard_server/front/front_server.h"
#include "leaderboard_server/front/listen_address.h"
#include "leaderboard_server/rules/address_hash.h"
#include "leaderboard_server/stores/run_store.h"

#include <CLI/CLI.hpp>

#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

int main(int argc, char** argv) {
  CLI::App app{
      "Leaderboard server for the Strelvik CPU benchmark.\n"
      "Serves the standings as a web page at / (open http://ADDR:PORT/ in a browser, https:// with\n"
      "--cert), GET/POST /api.php and GET /healthz; one access-log line per request on stdout."};
  std::string listen = "127.0.0.1:8080";
  std::string cert, key;
  std::string database = "strelvik-leaderboard.sqlite";
  unsigned rate_limit = 30;
  std::size_t max_rows = 100;
  bool trust_proxy = false;
  // Workers answer whole requests and never wait for a client; more than a few per core only
  // adds scheduling delay (the 99th percentile grows several-fold at 8 per core).
  std::size_t workers = std::max(4u, 2 * std::thread::hardware_concurrency());
  unsigned submissions_per_hour = 3;
  int max_score_per_thread = kMaxScorePerThread;
  std::size_t per_address = 32;
  unsigned request_timeout = 10;
  std::string address_key;
  std::size_t runs_per_address = kRunsCountedPerClient;
  std::size_t max_unsent_reply = 1 << 20;
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
  app.add_option("--submissions-per-hour", submissions_per_hour,
                 "runs per client address, processor name and kind an hour; 0 = off (a LAN event)")
      ->capture_default_str();
  app.add_option("--runs-counted-per-address", runs_per_address,
                 "runs of one client address that count in a processor's average; 0 = all (a LAN event)")
      ->capture_default_str();
  app.add_option("--max-connections-per-address", per_address,
                 "open connections per client address; 0 = no cap (off with --trust-proxy: the proxy is every peer)")
      ->capture_default_str();
  app.add_option("--request-timeout", request_timeout,
                 "seconds a whole request may take to arrive, TLS handshake included")
      ->check(CLI::Range(1, 600))
      ->capture_default_str();
  app.add_option("--address-key", address_key,
                 "key file of the stored address hashes, created when missing (default: the SQLite file's name "
                 "+ .key, or strelvik-leaderboard.key in the working directory for PostgreSQL)");
  app.add_option("--max-score-per-thread", max_score_per_thread,
                 "highest score a run may claim per thread; raise it only to test small workloads")
      ->check(CLI::Range(1, kMaxScore))
      ->capture_default_str();
  app.add_option("--max-unsent-reply", max_unsent_reply,
                 "bytes of replies one connection may have unsent; its next requests wait beyond it")
      ->check(CLI::Range(std::size_t{65536}, std::size_t{1} << 30))
      ->capture_default_str();
  app.add_option("--threads", workers, "worker threads answering requests; connections wait for none")
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
    store = open_run_store(database, {.runs_counted_per_client = runs_per_address});
  } catch (const StoreError& e) {
    std::fprintf(stderr, "cannot open the database: %s\n", e.what());
    return 1;
  }

  // Idle and slow connections cost a descriptor each, not a thread: allow as many as the system does.
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
  }
  const bool postgres = database.starts_with("postgresql://") || database.starts_with("postgres://");
  if (address_key.empty()) address_key = postgres ? "strelvik-leaderboard.key" : database + ".key";
  std::string hash_key;
  try {
    hash_key = load_address_key(address_key);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }

  FrontOptions front_options;
  front_options.workers = workers;
  front_options.max_connections_per_address = per_address;
  front_options.trust_proxy = trust_proxy;
  front_options.request_timeout = std::chrono::seconds(request_timeout);
  front_options.max_unsent_reply = max_unsent_reply;
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY)
    front_options.max_connections = std::min<std::size_t>(front_options.max_connections, files.rlim_cur - 64);

  // Routes live on the library's server object; the front owns the sockets and hands it whole requests.
  RoutedServer routes;
  // Only the Keep-Alive reply header comes from these; the front keeps connections as long.
  routes.set_keep_alive_max_count(100000);
  routes.set_keep_alive_timeout(5);
  ApiOptions options;
  options.rate_limit_per_hour = rate_limit;
  options.submissions_per_hour = submissions_per_hour;
  options.max_rows = max_rows;
  options.trust_proxy = trust_proxy;
  options.address_key = hash_key;
  options.runs_counted_per_address = runs_per_address;
  options.max_score_per_thread = max_score_per_thread;
  options.https = tls;
  LeaderboardApi api(*store, options);
  api.install(routes);

  FrontServer front(routes, front_options);
  if (tls) {
    if (const std::string error = front.use_tls(cert, key); !error.empty()) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
  }
  const int port = front.bind(address->host, address->port);
  if (port <= 0) {
    std::fprintf(stderr, "cannot listen on %s\n", listen.c_str());
    return 1;
  }

  std::thread stopper([&] {
    int sig = 0;
    sigwait(&stop_signals, &sig);
    // Stops accepting; the requests in flight get up to 5 s to finish.
    front.stop();
  });

  const bool v6 = address->host.find(':') != std::string::npos;
  char banner[200];
  std::snprintf(banner, sizeof banner, "strelvik-leaderboard listening on %s://%s%s%s:%d\n", tls ? "https" : "http",
                v6 ? "[" : "", address->host.c_str(), v6 ? "]" : "", port);
  [[maybe_unused]] const auto written = ::write(STDOUT_FILENO, banner, std::strlen(banner));

  // The summaries of runs stored before an upgrade are computed while the server answers:
  // boards answer 503 "migrating" until they are ready, /healthz and submissions meanwhile work.
  std::atomic<bool> stop_summaries{false}, summaries_done{false};
  std::thread summaries;
  if (!store->summaries_ready())
    summaries = std::thread([&] {
      const auto started = std::chrono::steady_clock::now();
      const auto say = [&](const std::string& line) {
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::fprintf(stderr, "%s (%.1f s)\n", line.c_str(), s);
      };
      try {
        store->compute_summaries(say, stop_summaries);
      } catch (const StoreError& e) {
        if (stop_summaries)
          say("summaries: stopped; they are computed again at the next start");
        else
          std::fprintf(stderr, "cannot compute the summaries: %s; restart to try again\n", e.what());
      }
      summaries_done = true;
    });

  front.run();
  stop_summaries = true;
  if (summaries.joinable()) {
    // The computation stops at its next row; a database still sorting the runs for it is not
    // waited for past the stop's promise: its transaction only reads, and ends with the process.
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (!summaries_done && std::chrono::steady_clock::now() < give_up)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!summaries_done) {
      std::fprintf(stderr, "summaries: stopped; they are computed again at the next start\n");
      std::fflush(nullptr);
      std::_Exit(0);
    }
    summaries.join();
  }
  // Wake the waiter if serving ended by itself rather than by a signal.
  pthread_kill(stopper.native_handle(), SIGTERM);
  stopper.join();
  return 0;
}
