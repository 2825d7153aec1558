#pragma once
// The two HTTPS operations every leaderboard request goes through. Each call opens its own
// handles, uses them once and releases them on every path; nothing is cached or reused.
// libcurl with OpenSSL (http_transport_curl.cpp), or WinINet on Windows (http_transport_windows.cpp).
#include <string>

#include "leaderboard_client/leaderboard_settings.h"

// Returns the body of a 200 reply. Raises std::runtime_error with one of the texts
// "InternetOpen failed", "InternetConnect failed", "HttpOpenRequest failed",
// "HttpSendRequest failed", "HTTP " and the status, the settings' unusable_reason, or the
// reply-too-large text. `path` begins with "/".
std::string http_get(const LeaderboardSettings& settings, const std::string& path);
std::string http_post(const LeaderboardSettings& settings, const std::string& path, const std::string& body);

// Called once on the main thread before any request thread exists: the TLS and transfer
// libraries' global set-up is not safe to race. Also ignores SIGPIPE unless the program has a
// handler of its own. Later calls do nothing.
void init_http_transport();
