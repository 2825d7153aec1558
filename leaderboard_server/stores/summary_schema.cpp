#include "leaderboard_server/stores/summary_schema.h"

#include <charconv>

std::string thread_list(const std::vector<int>& threads) {
  std::string text;
  for (const int t : threads) {
    if (!text.empty()) text += ',';
    text += std::to_string(t);
  }
  return text;
}

std::vector<int> parse_thread_list(std::string_view text) {
  std::vector<int> out;
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    int value = 0;
    const auto [next, ec] = std::from_chars(p, end, value);
    if (ec == std::errc()) out.push_back(value);
    p = next == p ? p + 1 : next;
    if (p < end && *p == ',') ++p;
  }
  return out;
}
