#include "leaderboard_server/front/front_connection.h"

#include <openssl/err.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

FrontConnection::~FrontConnection() {
  if (ssl) SSL_free(ssl);
  if (fd >= 0) ::close(fd);
}

IoStatus read_available(FrontConnection& c, std::size_t limit) {
  char buf[16384];
  bool got = false;
  c.want_write = false;
  while (c.input.size() < limit) {
    const std::size_t room = std::min(sizeof buf, limit - c.input.size());
    if (c.ssl) {
      const int n = SSL_read(c.ssl, buf, static_cast<int>(room));
      if (n > 0) {
        c.input.append(buf, static_cast<std::size_t>(n));
        got = true;
        continue;
      }
      const int err = SSL_get_error(c.ssl, n);
      ERR_clear_error();
      if (err == SSL_ERROR_WANT_READ) return got ? IoStatus::Data : IoStatus::WouldBlock;
      if (err == SSL_ERROR_WANT_WRITE) {
        c.want_write = true;
        return got ? IoStatus::Data : IoStatus::WouldBlock;
      }
      return IoStatus::Closed;  // a clean close_notify, a reset or a failed handshake alike
    }
    const ssize_t n = ::recv(c.fd, buf, room, 0);
    if (n > 0) {
      c.input.append(buf, static_cast<std::size_t>(n));
      got = true;
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return got ? IoStatus::Data : IoStatus::WouldBlock;
    if (n < 0 && errno == EINTR) continue;
    return IoStatus::Closed;
  }
  return IoStatus::Data;
}

bool write_all(FrontConnection& c, std::string_view bytes, FrontClock::time_point deadline) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    short wait_for = POLLOUT;
    if (c.ssl) {
      const int n = SSL_write(c.ssl, bytes.data() + done, static_cast<int>(bytes.size() - done));
      if (n > 0) {
        done += static_cast<std::size_t>(n);
        continue;
      }
      const int err = SSL_get_error(c.ssl, n);
      ERR_clear_error();
      if (err == SSL_ERROR_WANT_READ)
        wait_for = POLLIN;
      else if (err != SSL_ERROR_WANT_WRITE)
        return false;
    } else {
      const ssize_t n = ::send(c.fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return false;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - FrontClock::now()).count();
    if (left <= 0) return false;
    pollfd p{c.fd, wait_for, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) return false;
  }
  return true;
}

IoStatus write_available(FrontConnection& c) {
  while (c.output_sent < c.output.size()) {
    const char* data = c.output.data() + c.output_sent;
    const std::size_t left = c.output.size() - c.output_sent;
    if (c.ssl) {
      const int n = SSL_write(c.ssl, data, static_cast<int>(std::min<std::size_t>(left, 1 << 30)));
      if (n > 0) {
        c.output_sent += static_cast<std::size_t>(n);
        continue;
      }
      const int err = SSL_get_error(c.ssl, n);
      ERR_clear_error();
      if (err == SSL_ERROR_WANT_WRITE || err == SSL_ERROR_WANT_READ) break;
      return IoStatus::Closed;
    }
    const ssize_t n = ::send(c.fd, data, left, MSG_NOSIGNAL);
    if (n > 0) {
      c.output_sent += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    return IoStatus::Closed;
  }
  if (c.output_sent == c.output.size()) {
    // A connection that is idle again keeps no buffer a large reply grew.
    std::string().swap(c.output);
    c.output_sent = 0;
  } else if (c.output_sent > (1u << 16) && c.output_sent * 2 > c.output.size()) {
    c.output.erase(0, c.output_sent);
    c.output_sent = 0;
  }
  return IoStatus::Data;
}

ssize_t BufferedStream::read(char* ptr, size_t size) {
  const std::size_t n = std::min(size, request_.size() - pos_);
  std::memcpy(ptr, request_.data() + pos_, n);
  pos_ += n;
  return static_cast<ssize_t>(n);
}

ssize_t BufferedStream::write(const char* ptr, size_t size) {
  reply_.append(ptr, size);
  return static_cast<ssize_t>(size);
}

void BufferedStream::get_remote_ip_and_port(std::string& ip, int& port) const {
  ip = c_.peer_ip;
  port = c_.peer_port;
}

void BufferedStream::get_local_ip_and_port(std::string& ip, int& port) const {
  ip = c_.local_ip;
  port = c_.local_port;
}
