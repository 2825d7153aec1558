#include "leaderboard_client/submission_outcome.h"

#include <string_view>

namespace {
bool starts_with(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }
}  // namespace

bool is_local_leaderboard(const LeaderboardSettings& settings) {
  const std::string_view host = settings.host;
  // 127.0.0.0/8 as an address, not a name that begins with it.
  const bool loopback_v4 = starts_with(host, "127.") && host.find_first_not_of("0123456789.") == std::string_view::npos;
  return host == "localhost" || loopback_v4 || host == "[::1]" || host == "::1";
}

std::string leaderboard_name(const LeaderboardSettings& settings) {
  return is_local_leaderboard(settings) ? "the local leaderboard" : "the leaderboard";
}

std::string submission_outcome(const std::string& submit_status, const LeaderboardSettings& settings) {
  if (starts_with(submit_status, "Submitted OK")) return "submitted to " + leaderboard_name(settings);
  if (starts_with(submit_status, "Submit error: ")) {
    return "not submitted: " + submit_status.substr(std::string_view("Submit error: ").size());
  }
  if (submit_status == "Submitting...") return "submitting...";
  return submit_status;
}
