#include "system/sensor_summary.h"

#include <cmath>
#include <cstdio>
#include <vector>

nlohmann::ordered_json sensors_json(const SensorSummary& s) {
  nlohmann::ordered_json j = nlohmann::ordered_json::object();
  // Two decimals: the sensors are not more precise, and the file stays readable.
  const auto put = [&](const char* key, const std::optional<double>& value) {
    if (value && std::isfinite(*value)) j[key] = std::round(*value * 100.0) / 100.0;
  };
  for (const SensorSummaryKey& key : kSensorSummaryKeys) put(key.name, s.*key.reading);
  return j;
}

namespace {

template <typename... Args>
std::string text(const char* pattern, Args... args) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, pattern, args...);
  return buffer;
}

}  // namespace

std::string sensor_summary_line(const SensorSummary& s) {
  std::vector<std::string> parts;
  if (s.clock_mhz_avg) {
    std::string clock = text("Clock %.2f GHz avg", *s.clock_mhz_avg / 1000.0);
    if (s.clock_mhz_min) clock += text(" (min %.2f)", *s.clock_mhz_min / 1000.0);
    parts.push_back(clock);
  }
  if (s.temp_c_max) parts.push_back(text("%.0f °C max", *s.temp_c_max));
  if (s.power_w_avg) parts.push_back(text("%.0f W avg", *s.power_w_avg));
  if (s.energy_j) parts.push_back(text("%.1f kJ", *s.energy_j / 1000.0));
  if (s.points_per_watt) parts.push_back(text("%.2f points/W", *s.points_per_watt));
  std::string line;
  for (const std::string& part : parts) line += (line.empty() ? "" : " · ") + part;
  return line;
}
