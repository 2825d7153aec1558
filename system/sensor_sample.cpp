#include "system/sensor_sample.h"

#include <cmath>

namespace {

std::optional<double> within(double value, double low, double high) {
  if (!std::isfinite(value) || value < low || value > high) return std::nullopt;
  return value;
}

}  // namespace

std::optional<double> plausible_clock_mhz(double mhz) {
  if (mhz <= 0.0) return std::nullopt;
  return within(mhz, 0.0, 10000.0);
}

std::optional<double> plausible_temp_c(double celsius) { return within(celsius, -40.0, 150.0); }

std::optional<double> plausible_power_w(double watts) { return within(watts, 0.0, 2000.0); }
