#pragma once
// Local calendar time for the texts that carry a date: the one place that asks the C library,
// whose thread-safe conversion has a name of its own on each system (local_time_posix.cpp,
// local_time_windows.cpp).
#include <chrono>
#include <ctime>
#include <string>

// The calendar fields of `seconds` in the local time zone; all zero when the conversion fails.
std::tm local_calendar_time(std::time_t seconds);

// `when`, to the whole second, in local time, through strftime's `format`.
std::string format_local_time(std::chrono::system_clock::time_point when, const char* format);
