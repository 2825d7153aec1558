#pragma once
// The score of a finished run, and the date text stored with it.
#include <chrono>
#include <cstdint>
#include <string>

// 120000 / seconds, truncated toward zero. A time too small for the 32-bit range (under about
// 56 microseconds, or zero) gives the largest score instead of an undefined conversion.
std::int32_t compute_score(double time_seconds);

// Local time to the second as "%Y-%m-%dT%H:%M:%S", without time zone or fraction.
std::string format_result_date(std::chrono::system_clock::time_point when);
