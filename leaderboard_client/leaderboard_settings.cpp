#include "leaderboard_client/leaderboard_settings.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
         });
}

bool is_host_name(std::string_view host) {
  if (host.empty() || host.size() > 253 || host.front() == '.' || host.front() == '-') return false;
  return std::all_of(host.begin(), host.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '.'; });
}

bool is_bracketed_ipv6(std::string_view host) {
  if (host.size() < 4 || host.front() != '[' || host.back() != ']') return false;
  const std::string_view inner = host.substr(1, host.size() - 2);
  return std::all_of(inner.begin(), inner.end(),
                     [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0 || c == ':' || c == '.'; });
}

// The reserved documentation domain never resolves; a build that still carries it has no server.
bool is_placeholder(std::string host) {
  std::transform(host.begin(), host.end(), host.begin(), [](unsigned char c) { return std::tolower(c); });
  while (!host.empty() && host.back() == '.') host.pop_back();
  constexpr std::string_view suffix = ".example";
  return host == "example" ||
         (host.size() > suffix.size() && host.compare(host.size() - suffix.size(), suffix.size(), suffix) == 0);
}

std::string refused(std::string_view url) {
  return "leaderboard address must be https://HOST or https://HOST:PORT, not '" + std::string(url) + "'";
}

}  // namespace

std::string_view built_in_leaderboard_url() { return STRELVIK_LEADERBOARD_URL; }

LeaderboardSettings make_leaderboard_settings(std::string_view url, const char* ca_file, const char* no_submit) {
  LeaderboardSettings settings;
  settings.submissions_enabled = !(no_submit != nullptr && std::string_view(no_submit) == "1");

  constexpr std::string_view scheme = "https://";
  if (!starts_with_ignoring_case(url, scheme)) {
    settings.unusable_reason = refused(url);
    return settings;
  }
  std::string_view authority = url.substr(scheme.size());
  std::string_view host = authority;
  const std::size_t close = authority.rfind(']');
  const std::size_t colon = authority.rfind(':');
  if (colon != std::string_view::npos && (close == std::string_view::npos || colon > close)) {
    host = authority.substr(0, colon);
    const std::string_view digits = authority.substr(colon + 1);
    long port = 0;
    if (digits.empty() || digits.size() > 5 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        (port = std::stol(std::string(digits))) < 1 || port > 65535) {
      settings.unusable_reason = refused(url);
      return settings;
    }
    settings.port = static_cast<int>(port);
  }
  if (!is_host_name(host) && !is_bracketed_ipv6(host)) {
    settings.unusable_reason = refused(url);
    return settings;
  }
  settings.host = std::string(host);
  if (is_placeholder(settings.host)) {
    settings.unusable_reason = std::string(kNotConfigured);
    return settings;
  }

  if (ca_file != nullptr && *ca_file != '\0') {
    std::ifstream in(ca_file, std::ios::binary);
    std::ostringstream pem;
    pem << in.rdbuf();
    settings.extra_ca_pem = pem.str();
    if (!in || settings.extra_ca_pem.find("-----BEGIN CERTIFICATE-----") == std::string::npos) {
      settings.unusable_reason =
          "STRELVIK_LEADERBOARD_CA: no PEM certificate could be read from '" + std::string(ca_file) + "'";
    }
  }
  return settings;
}

LeaderboardSettings leaderboard_settings_from_environment() {
  const char* url = std::getenv("STRELVIK_LEADERBOARD_URL");
  return make_leaderboard_settings(url != nullptr && *url != '\0' ? std::string_view(url) : built_in_leaderboard_url(),
                                   std::getenv("STRELVIK_LEADERBOARD_CA"), std::getenv("STRELVIK_NO_SUBMIT"));
}
