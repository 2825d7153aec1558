#pragma once
// What a run's measured phase ran under, as the runner prints it and the result keeps it.
#include <optional>

#include <nlohmann/json.hpp>

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

// The `sensors` object: a key is absent when its sensor was not measured.
nlohmann::ordered_json sensors_json(const SensorSummary& summary);
