#pragma once
// The leaderboard tab's parts that tests reach on their own: the status line's rule and one
// leaderboard table.
#include <imgui.h>

#include <cstdint>
#include <string>
#include <vector>

#include "leaderboard_client/reply_reading.h"

struct App;

// The text at the top of the tab and its colour; an empty text means nothing to say.
struct StatusLine {
  std::string text;
  ImVec4 colour{1.0f, 1.0f, 1.0f, 1.0f};
};

// The first that applies: requests in flight; the latest fetch's failure; the latest
// submission's state (red when it reports an error); submissions turned off.
StatusLine leaderboard_status_line(std::int32_t pending, const std::string& submit_status, bool submissions_enabled,
                                   const std::string& fetch_error);

// `text` cut at a character boundary and ended with "..." so that it fits `width` in the current
// font; unchanged when it fits.
std::string fit_text(const std::string& text, float width);

// The status on one line within `width`; cut short, the whole text shows on hover.
void draw_status_text(const StatusLine& status, float width);

// One kind's rows in the server's order, this machine's highlighted; `id` is the table's id.
void draw_leaderboard_table(const std::vector<LeaderboardRow>& rows, App& app, const char* id);
