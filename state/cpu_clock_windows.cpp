#include <windows.h>

#include "state/cpu_clock.h"

namespace {

// Kernel plus user time, in 100-nanosecond units.
double seconds(const FILETIME& kernel, const FILETIME& user) {
  const auto ticks = [](const FILETIME& t) {
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  return static_cast<double>(ticks(kernel) + ticks(user)) * 1e-7;
}

}  // namespace

double thread_cpu_seconds() {
  FILETIME created{}, ended{}, kernel{}, user{};
  if (!GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user)) return 0.0;
  return seconds(kernel, user);
}

double process_cpu_seconds() {
  FILETIME created{}, ended{}, kernel{}, user{};
  if (!GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user)) return 0.0;
  return seconds(kernel, user);
}
