#pragma once
// "ADDR:PORT" as given to --listen, and whether it stays on this machine.

#include <optional>
#include <string>

struct ListenAddress {
  std::string host;  // without IPv6 brackets
  int port = 0;      // 0: any free port, reported at start-up
};

// Accepts "127.0.0.1:8080", "[::1]:8443", "localhost:80", "0.0.0.0:443". Empty on bad input.
std::optional<ListenAddress> parse_listen_address(const std::string& text);

// True for 127.0.0.0/8, ::1 and "localhost": plain HTTP is served only there, behind a proxy.
bool is_loopback_host(const std::string& host);
