#pragma once
// The leaderboard as a web page: the page's files, built into the program, and the JSON they read.

#include "leaderboard_server/api/leaderboard_cache.h"

#include <httplib.h>

#include <cstddef>

// Registers GET /, /cpu, /app.js, /style.css, /board.json and /cpu.json (one processor's page,
// or with distribution=1 its distribution, for comparisons). The library tries routes in the order they were
// registered, so this goes before any catch-all route.
void install_web_routes(httplib::Server& server, LeaderboardCache& cache, IRunStore& store, std::size_t max_rows);
