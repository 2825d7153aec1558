#include "engine/local_time.h"

// The C runtime's per-call conversion (its argument order is the reverse of POSIX's).
std::tm local_calendar_time(std::time_t seconds) {
  std::tm local{};
  localtime_s(&local, &seconds);
  return local;
}
