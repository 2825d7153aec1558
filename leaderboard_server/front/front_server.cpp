#include "leaderboard_server/front/front_server.h"

#include "leaderboard_server/front/access_log.h"
#include "leaderboard_server/front/error_reply.h"

#include <openssl/err.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace {

std::string address_text(const sockaddr_storage& a, int& port) {
  char text[INET6_ADDRSTRLEN] = "";
  if (a.ss_family == AF_INET) {
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(a);
    inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
    port = ntohs(v4.sin_port);
  } else if (a.ss_family == AF_INET6) {
    const auto& v6 = reinterpret_cast<const sockaddr_in6&>(a);
    inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
    port = ntohs(v6.sin6_port);
  }
  return text;
}

}  // namespace

FrontServer::FrontServer(RoutedServer& routes, FrontOptions options) : routes_(routes), options_(options) {
  epoll_ = epoll_create1(EPOLL_CLOEXEC);
  wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.fd = wake_;
  epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &ev);
}

FrontServer::~FrontServer() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  work_ready_.notify_all();
  health_check_ready_.notify_all();
  for (auto& w : workers_)
    if (w.joinable()) w.join();
  connections_.clear();
  if (listener_ >= 0) ::close(listener_);
  ::close(wake_);
  ::close(epoll_);
  if (tls_) SSL_CTX_free(tls_);
}

std::string FrontServer::use_tls(const std::string& cert, const std::string& key) {
  tls_ = SSL_CTX_new(TLS_server_method());
  if (!tls_) return "cannot create a TLS context";
  SSL_CTX_set_min_proto_version(tls_, TLS1_2_VERSION);
  // TLS 1.2 with forward-secret AEAD suites only: the CBC ones (Lucky 13 and its kin) are left
  // out. Every client from Windows 10 and current curl/OpenSSL offers these; TLS 1.3 has no others.
  if (SSL_CTX_set_cipher_list(tls_, "ECDHE+AESGCM:ECDHE+CHACHA20:DHE+AESGCM:DHE+CHACHA20:!aNULL") != 1)
    return "cannot set the TLS 1.2 cipher suites";
  // A write retried after WANT_WRITE may come from a reallocated reply buffer, and replies leave
  // in whatever pieces the socket takes.
  SSL_CTX_set_mode(tls_, SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER | SSL_MODE_ENABLE_PARTIAL_WRITE);
  if (SSL_CTX_use_certificate_chain_file(tls_, cert.c_str()) != 1 ||
      SSL_CTX_use_PrivateKey_file(tls_, key.c_str(), SSL_FILETYPE_PEM) != 1 || SSL_CTX_check_private_key(tls_) != 1) {
    ERR_clear_error();
    return "cannot load the TLS certificate " + cert + " or key " + key;
  }
  return {};
}

int FrontServer::bind(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return -1;
  int chosen = -1;
  for (addrinfo* ai = found; ai && listener_ < 0; ai = ai->ai_next) {
    const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
    if (fd < 0) continue;
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (ai->ai_family == AF_INET6) setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
    if (::bind(fd, ai->ai_addr, ai->ai_addrlen) == 0 && ::listen(fd, 1024) == 0) {
      sockaddr_storage bound{};
      socklen_t len = sizeof bound;
      getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &len);
      address_text(bound, chosen);
      listener_ = fd;
    } else {
      ::close(fd);
    }
  }
  freeaddrinfo(found);
  if (listener_ < 0) return -1;
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.fd = listener_;
  epoll_ctl(epoll_, EPOLL_CTL_ADD, listener_, &ev);
  return chosen;
}

void FrontServer::stop() {
  stop_requested_ = true;
  const std::uint64_t one = 1;
  [[maybe_unused]] const auto n = ::write(wake_, &one, sizeof one);
}

void FrontServer::run() {
  for (std::size_t i = 0; i < options_.workers; ++i)
    workers_.emplace_back([this] { worker_loop(ready_, work_ready_); });
  workers_.emplace_back([this] { worker_loop(health_checks_, health_check_ready_); });
  FrontClock::time_point stop_by{};
  auto next_sweep = FrontClock::now();
  epoll_event events[256];
  for (;;) {
    const int n = epoll_wait(epoll_, events, 256, 100);
    for (int i = 0; i < n; ++i) {
      const int fd = events[i].data.fd;
      if (fd == listener_) {
        accept_all();
      } else if (fd == wake_) {
        std::uint64_t count = 0;
        [[maybe_unused]] const auto r = ::read(wake_, &count, sizeof count);
        take_back_finished();
      } else if (const auto it = connections_.find(fd); it != connections_.end()) {
        on_event(*it->second);
      }
    }
    const auto now = FrontClock::now();
    if (stop_requested_ && !stopping_) {
      begin_stopping();
      stop_by = now + options_.stop_grace;
    }
    if (now >= next_sweep) {
      sweep(now);
      next_sweep = now + std::chrono::milliseconds(100);
    }
    if (stopping_ && (connections_.empty() || now >= stop_by)) break;
  }
  // Past the grace time whatever is still being read, queued or sent is dropped; the answers
  // under way finish (each a moment: no handler waits for a client or a rebuild).
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  work_ready_.notify_all();
  health_check_ready_.notify_all();
  for (auto& w : workers_) w.join();
  workers_.clear();
  connections_.clear();
}

void FrontServer::accept_all() {
  for (;;) {
    sockaddr_storage peer{};
    socklen_t len = sizeof peer;
    const int fd = accept4(listener_, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;  // EAGAIN, or out of descriptors: the next round tries again
    auto c = std::make_unique<FrontConnection>();
    c->fd = fd;
    c->peer_ip = address_text(peer, c->peer_port);
    if (stopping_ || connections_.size() >= options_.max_connections) continue;  // closed by c's destructor
    if (options_.max_connections_per_address > 0 && !options_.trust_proxy) {
      std::size_t& open = per_address_[c->peer_ip];
      if (open >= options_.max_connections_per_address) continue;
      ++open;
      c->peer_counted = true;
    }
    sockaddr_storage local{};
    len = sizeof local;
    getsockname(fd, reinterpret_cast<sockaddr*>(&local), &len);
    c->local_ip = address_text(local, c->local_port);
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (tls_) {
      c->ssl = SSL_new(tls_);
      SSL_set_fd(c->ssl, fd);
      SSL_set_accept_state(c->ssl);
    }
    // The handshake and the first request share one deadline.
    c->deadline = FrontClock::now() + options_.request_timeout;
    c->request_started = true;
    epoll_event ev{};
    ev.events = EPOLLIN | EPOLLONESHOT;
    ev.data.fd = fd;
    epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &ev);
    connections_.emplace(fd, std::move(c));
  }
}

void FrontServer::arm(FrontConnection& c) {
  epoll_event ev{};
  const bool sending = c.output_sent < c.output.size();
  // A client with a full buffer of replies is not read on: its next requests wait in the socket.
  const bool reading = c.state != ConnState::Processing && !c.close_when_sent &&
                       (c.state == ConnState::Draining || c.output.size() < options_.max_unsent_reply);
  ev.events = EPOLLONESHOT;
  if (sending || (reading && c.want_write)) ev.events |= EPOLLOUT;
  if (reading && !c.want_write) ev.events |= EPOLLIN;
  if (ev.events == EPOLLONESHOT) return;  // a worker has it and nothing waits to be sent
  ev.data.fd = c.fd;
  epoll_ctl(epoll_, EPOLL_CTL_MOD, c.fd, &ev);
}

bool FrontServer::flush(FrontConnection& c) {
  const std::size_t left = c.output.size() - c.output_sent;
  if (left == 0) return true;
  if (write_available(c) == IoStatus::Closed) return false;
  // The client's time to take some of its replies starts again whenever it takes some.
  if (c.output.size() - c.output_sent < left) c.write_deadline = FrontClock::now() + options_.write_timeout;
  return true;
}

void FrontServer::on_event(FrontConnection& c) {
  if (!flush(c)) {
    // A connection a worker holds is closed when the worker gives it back.
    if (c.state == ConnState::Processing) {
      std::string().swap(c.output);
      c.output_sent = 0;
      c.close_when_sent = true;
      return;
    }
    return close_connection(c);
  }
  if (c.state == ConnState::Processing) return arm(c);
  if (c.close_when_sent) return c.output.empty() ? close_connection(c) : arm(c);
  if (c.output.size() >= options_.max_unsent_reply) return arm(c);
  on_readable(c);
}

void FrontServer::close_connection(FrontConnection& c) {
  if (c.peer_counted) {
    const auto it = per_address_.find(c.peer_ip);
    if (it != per_address_.end() && --it->second == 0) per_address_.erase(it);
  }
  connections_.erase(c.fd);  // closes the socket; epoll forgets it
}

void FrontServer::on_readable(FrontConnection& c) {
  if (c.state == ConnState::Draining) {
    // After a refusal the rest of what the client sends is read and dropped for a moment, so that
    // the refusal reaches it instead of a reset; nothing of it is kept.
    c.input.clear();
    const IoStatus s = read_available(c, 65536);
    c.drained += c.input.size();
    c.input.clear();
    if (s == IoStatus::Closed || c.drained > (1u << 20)) return close_connection(c);
    return arm(c);
  }
  const IoStatus s = read_available(c, max_pending_bytes(options_.limits));
  if (s == IoStatus::Closed) return close_connection(c);
  if (!c.request_started && !c.input.empty()) {
    c.request_started = true;
    c.deadline = FrontClock::now() + options_.request_timeout;
  }
  frame_and_dispatch(c);
}

void FrontServer::frame_and_dispatch(FrontConnection& c) {
  if (c.input.empty()) return arm(c);
  Framing f = frame_request(c.input, options_.limits);
  switch (f.outcome) {
    case Framing::Outcome::NeedMore:
      if (f.expects_continue && !c.continue_sent) {
        c.continue_sent = true;
        // After the replies still unsent, so that the client reads them in order.
        if (c.output.empty()) c.write_deadline = FrontClock::now() + options_.write_timeout;
        c.output += "HTTP/1.1 100 Continue\r\n\r\n";
        if (!flush(c)) return close_connection(c);
      }
      return arm(c);
    case Framing::Outcome::Refuse: return refuse(c, f.status, f.reason, f.method, f.target);
    case Framing::Outcome::Complete: break;
  }
  c.input.erase(0, f.consumed);
  c.request = std::move(f.request);
  c.request_read_at = FrontClock::now();
  c.state = ConnState::Processing;
  const bool health_check = f.target == "/healthz" && (f.method == "GET" || f.method == "HEAD");
  {
    std::lock_guard lock(mutex_);
    (health_check ? health_checks_ : ready_).push_back(&c);
  }
  (health_check ? health_check_ready_ : work_ready_).notify_one();
  arm(c);  // replies still being sent go on while the worker answers
}

void FrontServer::refuse(FrontConnection& c, int status, const std::string& reason, const std::string& method,
                         const std::string& target) {
  access_log_start();
  if (!c.output.empty()) {
    // Earlier replies still go first; the connection ends after them.
    c.output += error_reply_bytes(status, reason);
    access_log_finish(method.empty() ? "-" : method, target.empty() ? "-" : target, status);
    c.close_when_sent = true;
    c.input.clear();
    return arm(c);
  }
  const bool sent = write_all(c, error_reply_bytes(status, reason), FrontClock::now() + std::chrono::milliseconds(50));
  access_log_finish(method.empty() ? "-" : method, target.empty() ? "-" : target, status);
  if (!sent) return close_connection(c);
  if (c.ssl) SSL_shutdown(c.ssl);
  ::shutdown(c.fd, SHUT_WR);
  c.state = ConnState::Draining;
  c.input.clear();
  c.input.shrink_to_fit();
  c.deadline = FrontClock::now() + std::chrono::seconds(1);
  arm(c);
}

void FrontServer::worker_loop(std::deque<FrontConnection*>& queue, std::condition_variable& ready) {
  for (;;) {
    FrontConnection* c = nullptr;
    {
      std::unique_lock lock(mutex_);
      ready.wait(lock, [&] { return quit_ || !queue.empty(); });
      // Requests still queued when the grace time ends are not answered: their connections close.
      if (quit_) return;
      c = queue.front();
      queue.pop_front();
    }
    answer(*c);
    {
      std::lock_guard lock(mutex_);
      finished_.push_back(c);
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(wake_, &one, sizeof one);
  }
}

// The reply is only built here; the front's thread sends it as the client takes it, so a
// client that does not read holds no worker.
void FrontServer::answer(FrontConnection& c) {
  c.reply.clear();
  c.reply.reserve(16384);
  BufferedStream stream(c, c.request, c.reply);
  access_log_start(c.request_read_at);
  bool closed = false;
  const bool answered = routes_.answer(stream, draining_workers_.load(), closed);
  c.close_after = !answered || closed || draining_workers_.load();
}

void FrontServer::take_back_finished() {
  std::deque<FrontConnection*> done;
  {
    std::lock_guard lock(mutex_);
    done.swap(finished_);
  }
  const auto now = FrontClock::now();
  for (FrontConnection* c : done) {
    c->state = ConnState::Reading;
    if (!c->close_when_sent) {
      if (c->output.empty()) c->write_deadline = now + options_.write_timeout;
      c->output += c->reply;
    }
    std::string().swap(c->reply);
    if (!flush(*c)) {
      close_connection(*c);
      continue;
    }
    if (c->close_after || c->close_when_sent) {
      c->close_when_sent = true;
      if (c->output.empty())
        close_connection(*c);
      else
        arm(*c);
      continue;
    }
    c->continue_sent = false;
    // An idle connection keeps no buffer that a large request grew.
    if (c->input.empty()) std::string().swap(c->input);
    std::string().swap(c->request);
    // Pipelined bytes already here start the next request's clock; otherwise keep-alive runs.
    c->request_started = !c->input.empty();
    c->deadline = now + (c->request_started ? options_.request_timeout : options_.keep_alive);
    if (stopping_ && !c->request_started && c->output.empty()) {
      close_connection(*c);
      continue;
    }
    if (c->output.size() >= options_.max_unsent_reply) {
      arm(*c);  // the next request waits until the client takes its replies
      continue;
    }
    on_readable(*c);
  }
}

void FrontServer::sweep(FrontClock::time_point now) {
  std::vector<FrontConnection*> expired;
  for (auto& [fd, c] : connections_) {
    if (c->state == ConnState::Processing) continue;
    // A client that takes none of its replies for write_timeout is given up; while it takes
    // them, its keep-alive time waits.
    const bool sending = !c->output.empty();
    if (sending ? now >= c->write_deadline : now >= c->deadline) expired.push_back(c.get());
  }
  for (FrontConnection* c : expired) {
    // A request begun and not finished in time is told so; an idle connection just ends.
    if (c->state == ConnState::Reading && !c->input.empty() && c->output.empty()) {
      access_log_start();
      write_all(*c, error_reply_bytes(408, "the request did not arrive in time"), now);
      access_log_finish("-", "-", 408);
    }
    close_connection(*c);
  }
}

void FrontServer::begin_stopping() {
  stopping_ = true;
  draining_workers_ = true;
  if (listener_ >= 0) {
    epoll_ctl(epoll_, EPOLL_CTL_DEL, listener_, nullptr);
    ::close(listener_);
    listener_ = -1;
  }
  // Idle connections end now; requests partly received may still finish within the grace time.
  std::vector<FrontConnection*> idle;
  for (auto& [fd, c] : connections_)
    if (c->state != ConnState::Processing && c->output.empty() && (c->input.empty() || c->state == ConnState::Draining))
      idle.push_back(c.get());
  for (FrontConnection* c : idle) close_connection(*c);
}
