#pragma once
// One client connection held by the front: its socket (and TLS session), what it has sent and not
// yet been handed on, and where it is in its life. Non-blocking throughout; the front's thread
// owns it except while a worker answers its request.

#include <openssl/ssl.h>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <string>
#include <string_view>

using FrontClock = std::chrono::steady_clock;

enum class ConnState { Reading, Processing, Draining };

struct FrontConnection {
  int fd = -1;
  SSL* ssl = nullptr;
  std::string peer_ip, local_ip;
  int peer_port = 0, local_port = 0;
  bool peer_counted = false;  // counts against its address's connection cap

  std::string input;    // received and not yet handed on; at most max_pending_bytes
  std::string request;  // the request a worker answers, framed by the front
  ConnState state = ConnState::Reading;
  FrontClock::time_point deadline;         // whole-request deadline, or end of keep-alive when idle
  bool request_started = false;            // some byte of the next request has arrived
  FrontClock::time_point request_read_at;  // when `request` was read whole: the access log's start
  bool continue_sent = false;
  bool close_after = false;  // set by the worker: the reply ended the connection
  std::string reply;         // set by the worker: its answer, handed to `output` by the front
  // Replies not yet taken by the client. A client that does not read costs this buffer, never a
  // worker; past the front's limit no further request of it is answered until it reads.
  std::string output;
  std::size_t output_sent = 0;            // bytes at the front of `output` already written
  FrontClock::time_point write_deadline;  // the client must take some of `output` by then
  bool close_when_sent = false;           // end the connection once `output` is written
  bool want_write = false;                // TLS needs the socket writable before it can read on
  std::size_t drained = 0;

  ~FrontConnection();
};

enum class IoStatus { Data, WouldBlock, Closed };

// Appends what can be read now without blocking, up to `limit` bytes in `c.input`.
IoStatus read_available(FrontConnection& c, std::size_t limit);

// Writes all of `bytes`, waiting for the socket until `deadline`. False when it could not.
bool write_all(FrontConnection& c, std::string_view bytes, FrontClock::time_point deadline);

// Writes what the socket takes now of `c.output` without waiting. Data while some is left or all
// went, Closed when the connection failed.
IoStatus write_available(FrontConnection& c);

// What the library reads one request from and writes its reply to: the framed request in
// memory, the reply collected whole so that it leaves in one write.
class BufferedStream final : public httplib::Stream {
 public:
  BufferedStream(const FrontConnection& c, std::string_view request, std::string& reply)
      : c_(c), request_(request), reply_(reply) {}
  bool is_readable() const override { return pos_ < request_.size(); }
  bool is_writable() const override { return true; }
  ssize_t read(char* ptr, size_t size) override;
  ssize_t write(const char* ptr, size_t size) override;
  void get_remote_ip_and_port(std::string& ip, int& port) const override;
  void get_local_ip_and_port(std::string& ip, int& port) const override;
  socket_t socket() const override { return c_.fd; }

 private:
  const FrontConnection& c_;
  std::string_view request_;
  std::size_t pos_ = 0;
  std::string& reply_;
};
