#pragma once
// Where the leaderboard client sends its requests and how long it waits: the build's address,
// overridden by the environment for self-hosted leaderboards and tests.
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

struct LeaderboardSettings {
  std::string host;  // name, IPv4 address, or IPv6 address in brackets
  int port = 443;
  std::string extra_ca_pem;  // certificates trusted in addition to the system's

  // When not empty, no request is made: every request fails with this text instead
  // ("Leaderboard not configured", or why the environment's address was refused).
  std::string unusable_reason;

  bool submissions_enabled = true;  // STRELVIK_NO_SUBMIT=1 turns submissions off; fetches still run

  // The production values; tests lower them so that stalls end quickly.
  std::chrono::milliseconds connect_timeout{10000};
  std::chrono::seconds receive_timeout{10};  // a request that receives nothing this long ends
  std::size_t max_reply_bytes = std::size_t{4} << 20;
};

inline constexpr std::string_view kNotConfigured = "Leaderboard not configured";

// The address the build was configured with (CMake's STRELVIK_LEADERBOARD_URL).
std::string_view built_in_leaderboard_url();

// The settings for an address "https://HOST[:PORT]". An address under the reserved .example
// domain is the placeholder and gives kNotConfigured; anything but https with a host and an
// optional port is refused with a text that says what was expected. `ca_file` (may be null or
// empty) names a PEM file of an extra trusted certificate authority; `no_submit` is the value
// of STRELVIK_NO_SUBMIT (may be null).
LeaderboardSettings make_leaderboard_settings(std::string_view url, const char* ca_file, const char* no_submit);

// The same from STRELVIK_LEADERBOARD_URL (else the built-in address), STRELVIK_LEADERBOARD_CA
// and STRELVIK_NO_SUBMIT.
LeaderboardSettings leaderboard_settings_from_environment();
