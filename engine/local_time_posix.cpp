#include "engine/local_time.h"

// The reentrant conversion: the run thread and the history's writers format dates at any time.
std::tm local_calendar_time(std::time_t seconds) {
  std::tm local{};
  localtime_r(&seconds, &local);
  return local;
}
