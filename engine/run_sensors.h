#pragma once
// What a run's measured phase ran under, as the runner prints it and the history keeps it: one
// type and one list of its JSON keys for the sensors that measure it and the file that stores it.
#include <optional>

struct SensorSummary {
  std::optional<double> clock_mhz_avg;
  std::optional<double> clock_mhz_min;
  std::optional<double> temp_c_max;
  std::optional<double> power_w_avg;
  std::optional<double> energy_j;
  // The score per watt of mean package power. As the score is 120000 / seconds, this equals
  // 120000 / the energy in joules: the energy a machine needs for the same image.
  std::optional<double> points_per_watt;
  friend bool operator==(const SensorSummary&, const SensorSummary&) = default;
};

// The `sensors` object's keys, each with the reading it holds; a key is absent when its sensor
// was not measured.
struct SensorSummaryKey {
  const char* name;
  std::optional<double> SensorSummary::*reading;
};
inline constexpr SensorSummaryKey kSensorSummaryKeys[] = {
    {"clock_mhz_avg", &SensorSummary::clock_mhz_avg}, {"clock_mhz_min", &SensorSummary::clock_mhz_min},
    {"temp_c_max", &SensorSummary::temp_c_max},       {"power_w_avg", &SensorSummary::power_w_avg},
    {"energy_j", &SensorSummary::energy_j},           {"points_per_watt", &SensorSummary::points_per_watt},
};
