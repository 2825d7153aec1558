#include "leaderboard_server/front/access_log.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>

namespace {
thread_local std::chrono::steady_clock::time_point request_start{};
constexpr std::size_t kMaxTargetBytes = 256;
}  // namespace

void access_log_start(std::chrono::steady_clock::time_point read_at) { request_start = read_at; }

std::string format_access_line(std::chrono::system_clock::time_point when, std::string_view method,
                               std::string_view target, int status, double duration_ms) {
  const auto secs = std::chrono::time_point_cast<std::chrono::seconds>(when);
  const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(when - secs).count();
  const std::time_t t = std::chrono::system_clock::to_time_t(secs);
  std::tm utc{};
  gmtime_r(&t, &utc);
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(millis));

  std::string line = stamp;
  line += ' ';
  const auto append_escaped = [&line](std::string_view text, std::size_t limit) {
    for (std::size_t i = 0; i < text.size() && i < limit; ++i) {
      const auto c = static_cast<unsigned char>(text[i]);
      if (c <= 0x20 || c >= 0x7F || c == '\\') {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", c);
        line += hex;
      } else {
        line += static_cast<char>(c);
      }
    }
    if (text.size() > limit) line += "...";
  };
  append_escaped(method.empty() ? "-" : method, 16);
  line += ' ';
  append_escaped(target.empty() ? "-" : target, kMaxTargetBytes);
  char tail[48];
  std::snprintf(tail, sizeof tail, " %d %.3fms", status, duration_ms);
  line += tail;
  return line;
}

void access_log_finish(std::string_view method, std::string_view target, int status) {
  const auto now = std::chrono::steady_clock::now();
  // A request that failed to parse never reached the start mark; its duration reads 0.
  const double ms = request_start == std::chrono::steady_clock::time_point{}
                        ? 0.0
                        : std::chrono::duration<double, std::milli>(now - request_start).count();
  request_start = {};
  std::string line = format_access_line(std::chrono::system_clock::now(), method, target, status, ms);
  line += '\n';
  // A short write to a full pipe or disk loses a log line, never a reply.
  [[maybe_unused]] const auto written = ::write(STDOUT_FILENO, line.data(), line.size());
}
