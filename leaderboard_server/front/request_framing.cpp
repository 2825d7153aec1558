#include "leaderboard_server/front/request_framing.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>
#include <vector>

namespace {

constexpr std::string_view kCrlf = "\r\n";

bool is_token_char(unsigned char c) {
  return std::isalnum(c) || std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
}

bool is_token(std::string_view s) {
  return !s.empty() &&
         std::all_of(s.begin(), s.end(), [](char c) { return is_token_char(static_cast<unsigned char>(c)); });
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::string lower(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
  return out;
}

std::optional<std::uint64_t> parse_decimal(std::string_view s) {
  if (s.empty() || s.size() > 18) return std::nullopt;
  std::uint64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return v;
}

// "8 KiB" for whole kibibytes, otherwise "N bytes": the limits are options.
std::string limit_text(std::size_t bytes) {
  if (bytes > 0 && bytes % 1024 == 0) return std::to_string(bytes / 1024) + " KiB";
  return std::to_string(bytes) + " bytes";
}

Framing refuse(Framing f, int status, std::string reason) {
  f.outcome = Framing::Outcome::Refuse;
  f.status = status;
  f.reason = std::move(reason);
  return f;
}

struct Field {
  std::string_view name, value;
};

// Decodes a chunked body starting at `wire`; NeedMore, Refuse or Complete with the data and the
// bytes the framing took.
Framing dechunk(Framing f, std::string_view wire, const FramingLimits& limits, std::string& data, std::size_t& used) {
  std::size_t pos = 0;
  const std::size_t wire_limit = limits.max_body + limits.max_chunk_overhead;
  const auto need_more = [&]() {
    if (wire.size() > wire_limit)
      return refuse(f, 413, "request body is larger than " + std::to_string(limits.max_body) + " bytes");
    return f;
  };
  for (;;) {
    const auto eol = wire.find(kCrlf, pos);
    if (eol == std::string_view::npos) return need_more();
    std::string_view size_text = wire.substr(pos, eol - pos);
    size_text = trim(size_text.substr(0, size_text.find(';')));  // chunk extensions mean nothing here
    if (size_text.empty() || size_text.size() > 8) return refuse(f, 400, "bad chunk size");
    std::uint64_t size = 0;
    for (char c : size_text) {
      const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                        : (c >= 'a' && c <= 'f')                    ? c - 'a' + 10
                        : (c >= 'A' && c <= 'F')                    ? c - 'A' + 10
                                                                    : -1;
      if (digit < 0) return refuse(f, 400, "bad chunk size");
      size = size * 16 + static_cast<std::uint64_t>(digit);
    }
    pos = eol + 2;
    if (size == 0) break;
    if (data.size() + size > limits.max_body)
      return refuse(f, 413, "request body is larger than " + std::to_string(limits.max_body) + " bytes");
    if (wire.size() < pos + size + 2) return need_more();
    if (wire.substr(pos + size, 2) != kCrlf) return refuse(f, 400, "chunk data does not end with CRLF");
    data.append(wire.substr(pos, size));
    pos += size + 2;
  }
  // Trailer fields are read past and dropped, up to the empty line.
  for (;;) {
    const auto eol = wire.find(kCrlf, pos);
    if (eol == std::string_view::npos) return need_more();
    const bool last = eol == pos;
    pos = eol + 2;
    if (last) break;
  }
  if (pos > wire_limit)
    return refuse(f, 413, "request body is larger than " + std::to_string(limits.max_body) + " bytes");
  used = pos;
  f.outcome = Framing::Outcome::Complete;
  return f;
}

}  // namespace

std::size_t max_pending_bytes(const FramingLimits& limits) {
  return limits.max_request_line + limits.max_header_bytes + limits.max_body + limits.max_chunk_overhead + 8;
}

Framing frame_request(std::string_view input, const FramingLimits& limits) {
  Framing f;
  // Empty lines before a request line are allowed and ignored.
  std::size_t start = 0;
  while (input.substr(start, 2) == kCrlf) start += 2;
  const std::string_view in = input.substr(start);

  const auto line_end = in.find(kCrlf);
  if (line_end == std::string_view::npos) {
    if (in.size() > limits.max_request_line)
      return refuse(f, 414, "request line is longer than " + limit_text(limits.max_request_line));
    return f;
  }
  if (line_end > limits.max_request_line)
    return refuse(f, 414, "request line is longer than " + limit_text(limits.max_request_line));
  const std::string_view line = in.substr(0, line_end);
  const auto sp1 = line.find(' ');
  const auto sp2 = line.rfind(' ');
  if (sp1 == std::string_view::npos || sp1 == sp2) return refuse(f, 400, "malformed request line");
  const std::string_view method = line.substr(0, sp1), target = line.substr(sp1 + 1, sp2 - sp1 - 1),
                         version = line.substr(sp2 + 1);
  if (is_token(method)) f.method = method;
  f.target = target;
  if (!is_token(method) || target.empty() || std::any_of(target.begin(), target.end(), [](char c) {
        return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F;
      }))
    return refuse(f, 400, "malformed request line");
  if (version != "HTTP/1.1" && version != "HTTP/1.0") return refuse(f, 505, "only HTTP/1.1 and HTTP/1.0 are served");

  // The header block: every field ends in CRLF, an empty line ends the block.
  const std::size_t fields_start = line_end + 2;
  std::vector<Field> fields;
  std::size_t pos = fields_start;
  for (;;) {
    const auto eol = in.find(kCrlf, pos);
    if (eol == std::string_view::npos) {
      if (in.size() - fields_start > limits.max_header_bytes)
        return refuse(f, 431, "request header block is larger than " + limit_text(limits.max_header_bytes));
      return f;
    }
    if (eol == pos) {
      pos += 2;
      break;
    }
    if (eol + 2 - fields_start > limits.max_header_bytes)
      return refuse(f, 431, "request header block is larger than " + limit_text(limits.max_header_bytes));
    if (fields.size() == limits.max_header_fields)
      return refuse(f, 431, "request has more than " + std::to_string(limits.max_header_fields) + " header fields");
    const std::string_view text = in.substr(pos, eol - pos);
    const auto colon = text.find(':');
    // No folded lines (a leading space), no stray CR or LF, a token before the colon.
    if (colon == std::string_view::npos || !is_token(text.substr(0, colon)) ||
        text.find_first_of("\r\n") != std::string_view::npos)
      return refuse(f, 400, "malformed header field");
    fields.push_back({text.substr(0, colon), trim(text.substr(colon + 1))});
    pos = eol + 2;
  }
  const std::size_t head_end = pos;

  std::optional<std::uint64_t> length;
  std::optional<std::string> coding;
  bool expect_continue = false;
  for (const Field& field : fields) {
    const std::string name = lower(field.name);
    if (name == "content-length") {
      // "5, 5" and two fields that agree are one length; lengths that differ are refused, as a
      // proxy in front may have read the other one.
      std::string_view rest = field.value;
      for (;;) {
        const auto comma = rest.find(',');
        const auto value = parse_decimal(trim(rest.substr(0, comma)));
        if (!value) return refuse(f, 400, "Content-Length is not a number");
        if (length && *length != *value) return refuse(f, 400, "Content-Length is given twice with different values");
        length = value;
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
      }
    } else if (name == "transfer-encoding") {
      coding = coding ? *coding + "," + lower(field.value) : lower(field.value);
    } else if (name == "expect") {
      expect_continue = lower(field.value) == "100-continue";
    }
  }
  if (coding && length) return refuse(f, 400, "Content-Length and Transfer-Encoding together");
  if (coding && version == "HTTP/1.0") return refuse(f, 400, "Transfer-Encoding in an HTTP/1.0 request");
  if (coding && trim(*coding) != "chunked") return refuse(f, 501, "only the chunked transfer coding is served");
  if (!coding && !length && (method == "POST" || method == "PUT" || method == "PATCH"))
    return refuse(f, 411, "a request body needs a Content-Length");
  if (length && *length > limits.max_body)
    return refuse(f, 413, "request body is larger than " + std::to_string(limits.max_body) + " bytes");

  std::string body;
  std::size_t body_wire = 0;
  if (coding) {
    Framing chunked = dechunk(f, in.substr(head_end), limits, body, body_wire);
    if (chunked.outcome != Framing::Outcome::Complete) {
      chunked.expects_continue = chunked.outcome == Framing::Outcome::NeedMore && expect_continue;
      return chunked;
    }
  } else if (length) {
    if (in.size() - head_end < *length) {
      f.expects_continue = expect_continue;
      return f;
    }
    body_wire = static_cast<std::size_t>(*length);
    body.assign(in.substr(head_end, body_wire));
  }

  // What the library reads: the same request line and fields, framed by one Content-Length. The
  // expectation was answered here already.
  f.request.reserve(head_end + body.size() + 32);
  f.request.append(line).append(kCrlf);
  for (const Field& field : fields) {
    const std::string name = lower(field.name);
    if (name == "content-length" || name == "transfer-encoding" || name == "expect") continue;
    f.request.append(field.name).append(": ").append(field.value).append(kCrlf);
  }
  if (length || coding) f.request.append("Content-Length: ").append(std::to_string(body.size())).append(kCrlf);
  f.request.append(kCrlf).append(body);
  f.consumed = start + head_end + body_wire;
  f.outcome = Framing::Outcome::Complete;
  return f;
}
