#include "engine/score.h"

#include <ctime>
#include <iomanip>
#include <limits>
#include <sstream>

std::int32_t compute_score(double time_seconds) {
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  const double quotient = 120000.0 / time_seconds;
  // Also catches a zero or negative time (infinite or negative quotient) and NaN.
  if (!(quotient >= 0.0)) {
    return 0;
  }
  return quotient >= kMax ? std::numeric_limits<std::int32_t>::max() : static_cast<std::int32_t>(quotient);
}

std::string format_result_date(std::chrono::system_clock::time_point when) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(std::chrono::floor<std::chrono::seconds>(when));
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &seconds);
#else
  localtime_r(&seconds, &local);  // the thread-safe conversion: the run thread formats dates
#endif
  std::ostringstream out;
  out << std::put_time(&local, "%Y-%m-%dT%H:%M:%S");
  return out.str();
}
