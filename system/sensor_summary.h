#pragma once
// What a run's measured phase ran under, as the runner prints it and the result keeps it.
#include <optional>
#include <string>

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

// One line for after a run, the parts not measured left out; empty when nothing was:
// "Clock 4.52 GHz avg (min 4.20) · 86 °C max · 142 W avg · 16.3 kJ · 7.30 points/W".
std::string sensor_summary_line(const SensorSummary& summary);
