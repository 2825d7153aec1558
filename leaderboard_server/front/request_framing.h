#pragma once
// Finds one whole HTTP/1.1 request at the start of what a connection has sent, within fixed limits,
// before any handler or buffer of the HTTP library sees it. The connection front reads until this
// says Complete or Refuse; nothing past the limits is ever kept.

#include <cstddef>
#include <string>
#include <string_view>

struct FramingLimits {
  std::size_t max_request_line = 8192;
  std::size_t max_header_bytes = 8192;  // the header fields, without the request line
  std::size_t max_header_fields = 100;
  std::size_t max_body = 4096;
  // A chunked body's framing (sizes, extensions, trailers) may add this much to its data.
  std::size_t max_chunk_overhead = 12288;
};

struct Framing {
  enum class Outcome { NeedMore, Complete, Refuse };
  Outcome outcome = Outcome::NeedMore;
  std::size_t consumed = 0;       // Complete: bytes of the input this request took
  std::string request;            // Complete: the request re-framed with one Content-Length
  bool expects_continue = false;  // NeedMore: the head is in and the client waits for 100 Continue
  int status = 0;                 // Refuse: the status to answer before closing
  std::string reason;             // Refuse
  std::string method, target;     // once the request line was read, for the access log
};

// Bytes a connection may hold unread before the framing must have decided.
std::size_t max_pending_bytes(const FramingLimits& limits);

Framing frame_request(std::string_view input, const FramingLimits& limits);
