#pragma once
// The web page's files (leaderboard_server/api/web/), compiled into the program by a build step.

#include <string_view>

// The bytes of one file by its name ("index.html"), or an empty view for an unknown name.
std::string_view web_asset(std::string_view name);
