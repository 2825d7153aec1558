#include "engine/score.h"

#include <limits>

#include "engine/local_time.h"

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
  return format_local_time(when, "%Y-%m-%dT%H:%M:%S");
}
