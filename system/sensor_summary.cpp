#include "system/sensor_summary.h"

#include <cmath>

nlohmann::ordered_json sensors_json(const SensorSummary& s) {
  nlohmann::ordered_json j = nlohmann::ordered_json::object();
  // Two decimals: the sensors are not more precise, and the file stays readable.
  const auto put = [&](const char* key, const std::optional<double>& value) {
    if (value && std::isfinite(*value)) j[key] = std::round(*value * 100.0) / 100.0;
  };
  put("clock_mhz_avg", s.clock_mhz_avg);
  put("clock_mhz_min", s.clock_mhz_min);
  put("temp_c_max", s.temp_c_max);
  put("power_w_avg", s.power_w_avg);
  put("energy_j", s.energy_j);
  put("points_per_watt", s.points_per_watt);
  return j;
}
