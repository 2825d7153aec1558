#include "leaderboard_server/front/listen_address.h"

#include <arpa/inet.h>

#include <charconv>
#include <cstring>

std::optional<ListenAddress> parse_listen_address(const std::string& text) {
  const auto colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) return std::nullopt;
  ListenAddress out;
  out.host = text.substr(0, colon);
  const std::string port = text.substr(colon + 1);
  const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), out.port);
  if (port.empty() || ec != std::errc() || end != port.data() + port.size() || out.port < 0 || out.port > 65535)
    return std::nullopt;
  if (out.host.front() == '[') {
    if (out.host.size() < 3 || out.host.back() != ']') return std::nullopt;
    out.host = out.host.substr(1, out.host.size() - 2);
    in6_addr a6{};
    if (inet_pton(AF_INET6, out.host.c_str(), &a6) != 1) return std::nullopt;
  } else if (out.host.find(':') != std::string::npos) {
    return std::nullopt;  // a bare IPv6 address is ambiguous with the port; brackets are required
  }
  return out;
}

bool is_loopback_host(const std::string& host) {
  if (host == "localhost") return true;
  in_addr a4{};
  if (inet_pton(AF_INET, host.c_str(), &a4) == 1) return (ntohl(a4.s_addr) >> 24) == 127;
  in6_addr a6{};
  if (inet_pton(AF_INET6, host.c_str(), &a6) == 1) return std::memcmp(&a6, &in6addr_loopback, sizeof a6) == 0;
  return false;
}
