#pragma once
// The connection front of the server: one thread and epoll hold every connection, read each
// request whole within its limits and deadline, and only then give it to a worker. A worker
// is busy for the time of one answer, never for a slow or idle client.
//
// Why the front parses requests itself and hands the library a rewritten copy:
// - cpp-httplib's own listener gives each connection a worker for its whole life, blocked on
//   reads: a few hundred idle or slow connections take every worker, and a fresh client waits.
// - Its time-outs are per read, not per request, so a client sending a byte now and then holds
//   its worker for as long as it likes; bench_server_front_limits measures this and the memory
//   a 200 MiB chunked body or a 61 MiB header block costs.
// - Its routing, handlers, error handler and reply writing are what the API is written against,
//   and they are worth keeping. They are reached through `process_request`, which is protected
//   (RoutedServer opens it), fed from memory (BufferedStream).
// So the front frames each request within fixed limits (request_framing.h), answers
// "Expect: 100-continue" itself and re-frames the body with one Content-Length: the library then
// never reads a byte the front has not judged. The cost is that `process_request` is not public
// API: its signature changed after 0.11, so the build accepts only the release it was checked
// against (CMakeLists.txt, routed_server.h).

#include "leaderboard_server/front/front_connection.h"
#include "leaderboard_server/front/request_framing.h"
#include "leaderboard_server/front/routed_server.h"

#include <openssl/ssl.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

struct FrontOptions {
  std::size_t workers = 4;
  std::size_t max_connections = 10000;
  std::size_t max_connections_per_address = 32;  // 0: no cap
  bool trust_proxy = false;                      // every peer is a proxy: no per-address cap
  std::chrono::milliseconds request_timeout{10000};
  std::chrono::milliseconds keep_alive{5000};
  std::chrono::milliseconds write_timeout{5000};  // a client must take some of its replies this often
  // Replies one connection may have unsent; beyond it the connection's next requests wait.
  std::size_t max_unsent_reply = 1 << 20;
  std::chrono::milliseconds stop_grace{5000};
  FramingLimits limits;
};

class FrontServer {
 public:
  FrontServer(RoutedServer& routes, FrontOptions options);
  ~FrontServer();
  FrontServer(const FrontServer&) = delete;
  FrontServer& operator=(const FrontServer&) = delete;

  // Serves HTTPS with this certificate chain and key. Empty on success, otherwise why not.
  std::string use_tls(const std::string& cert, const std::string& key);
  // Listens on host:port (0: any free port). Returns the port, or -1.
  int bind(const std::string& host, int port);
  // Serves until stop(); then lets the requests in flight finish for up to stop_grace.
  void run();
  // Safe from any thread.
  void stop();

 private:
  void accept_all();
  void on_event(FrontConnection& c);
  void on_readable(FrontConnection& c);
  bool flush(FrontConnection& c);  // false: the connection failed
  void frame_and_dispatch(FrontConnection& c);
  void refuse(FrontConnection& c, int status, const std::string& reason, const std::string& method,
              const std::string& target);
  void arm(FrontConnection& c);
  void close_connection(FrontConnection& c);
  void take_back_finished();
  void sweep(FrontClock::time_point now);
  void begin_stopping();
  void worker_loop(std::deque<FrontConnection*>& queue, std::condition_variable& ready);
  void answer(FrontConnection& c);

  RoutedServer& routes_;
  FrontOptions options_;
  SSL_CTX* tls_ = nullptr;
  int listener_ = -1, epoll_ = -1, wake_ = -1;
  std::unordered_map<int, std::unique_ptr<FrontConnection>> connections_;
  std::unordered_map<std::string, std::size_t> per_address_;
  std::atomic<bool> stop_requested_{false};
  bool stopping_ = false;

  std::mutex mutex_;  // guards the queues and quit_
  std::condition_variable work_ready_, health_check_ready_;
  // Health checks have a worker of their own: they answer at once however busy the others are.
  std::deque<FrontConnection*> ready_, health_checks_, finished_;
  bool quit_ = false;
  std::atomic<bool> draining_workers_{false};  // replies say "Connection: close"
  std::vector<std::thread> workers_;
};
