// The scripted TLS server of the client's tests: Linux only, as it is written against OpenSSL.
#include "tests/leaderboard_client/leaderboard_fixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

ScriptedTlsServer::Script ScriptedTlsServer::reply(int status, const std::string& body) {
  return {send("HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Type: application/json\r\nContent-Length: " +
               std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body)};
}

ScriptedTlsServer::ScriptedTlsServer(const Certificate& cert) {
  SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
  if (!ctx || SSL_CTX_use_certificate_chain_file(ctx, cert.cert.c_str()) != 1 ||
      SSL_CTX_use_PrivateKey_file(ctx, cert.key.c_str(), SSL_FILETYPE_PEM) != 1)
    throw std::runtime_error("cannot load the test certificate");
  ctx_ = ctx;
  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  const int one = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listener_, 16) != 0)
    throw std::runtime_error("cannot listen on loopback");
  getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
  port_ = ntohs(a.sin_port);
  thread_ = std::thread([this] { serve(); });
}

ScriptedTlsServer::~ScriptedTlsServer() {
  stopping_ = true;
  thread_.join();
  close(listener_);
  SSL_CTX_free(static_cast<SSL_CTX*>(ctx_));
}

void ScriptedTlsServer::push(Script script) {
  std::lock_guard lock(mutex_);
  scripts_.push_back(std::move(script));
}

std::vector<std::string> ScriptedTlsServer::requests() {
  std::lock_guard lock(mutex_);
  return requests_;
}

void ScriptedTlsServer::serve() {
  while (!stopping_) {
    pollfd p{listener_, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    const int fd = accept(listener_, nullptr, nullptr);
    if (fd < 0) continue;
    handle(fd);
    close(fd);
  }
}

void ScriptedTlsServer::handle(int fd) {
  // Bounded waits: a test that goes wrong must fail, not hang.
  timeval limit{5, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  Script script;
  {
    std::lock_guard lock(mutex_);
    if (!scripts_.empty()) {
      script = std::move(scripts_.front());
      scripts_.pop_front();
    }
  }
  SSL* ssl = SSL_new(static_cast<SSL_CTX*>(ctx_));
  SSL_set_fd(ssl, fd);
  if (SSL_accept(ssl) == 1) {
    std::string request;
    char buffer[4096];
    std::size_t wanted = std::string::npos;
    while (wanted == std::string::npos || request.size() < wanted) {
      const int n = SSL_read(ssl, buffer, sizeof buffer);
      if (n <= 0) break;
      request.append(buffer, static_cast<std::size_t>(n));
      const std::size_t end = request.find("\r\n\r\n");
      if (wanted == std::string::npos && end != std::string::npos) {
        std::size_t length = 0;
        if (const std::size_t at = request.find("Content-Length: "); at != std::string::npos && at < end)
          length = std::stoul(request.substr(at + 16));
        wanted = end + 4 + length;
      }
    }
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
    }
    for (const Step& step : script) {
      if (step.kind == Step::Kind::Send) {
        if (SSL_write(ssl, step.bytes.data(), static_cast<int>(step.bytes.size())) <= 0) break;
      } else if (step.kind == Step::Kind::Pause) {
        std::this_thread::sleep_for(step.pause);
      } else {
        // Silent until the client gives up (its receive time-out) or the server stops.
        while (!stopping_) {
          pollfd p{fd, POLLIN, 0};
          if (poll(&p, 1, 50) > 0 && SSL_read(ssl, buffer, sizeof buffer) <= 0) break;
        }
      }
    }
    SSL_shutdown(ssl);
  }
  SSL_free(ssl);
  ERR_clear_error();
}
