#pragma once
// One line per request on stdout: time, method, target, status, duration.
// Client addresses are deliberately left out: the server keeps none.

#include <chrono>
#include <string>
#include <string_view>

// Marks the start of the request being handled on this thread: when it was read whole, so that
// the time it queued for a worker counts in its duration.
void access_log_start(std::chrono::steady_clock::time_point read_at = std::chrono::steady_clock::now());

// Formats the line for a finished request (no trailing newline); `target` is escaped so that a
// crafted path cannot forge log lines.
std::string format_access_line(std::chrono::system_clock::time_point when, std::string_view method,
                               std::string_view target, int status, double duration_ms);

// Writes the line for the request on this thread with one write(2), so lines from concurrent
// workers never interleave.
void access_log_finish(std::string_view method, std::string_view target, int status);
