#pragma once
// What one read of the processor's sensors gives, what the sampler keeps of it, and the bounds
// beyond which a reading is a broken sensor rather than a fact.
#include <cstdint>
#include <optional>
#include <vector>

// A package's cumulative energy counter, which wraps to zero after range_microjoules (0 when
// the range is unknown: then a counter that went backwards gives no reading).
struct EnergyCounter {
  std::uint64_t microjoules = 0;
  std::uint64_t range_microjoules = 0;
  friend bool operator==(const EnergyCounter&, const EnergyCounter&) = default;
};

// One read of the sources. Clock and temperature are already checked against the bounds
// below; power needs two reads, so the counters travel raw.
struct SensorReadout {
  std::optional<double> clock_mhz;
  std::optional<double> temp_c;
  std::vector<EnergyCounter> energy;  // one per package, in the same order every read; empty: none
};

// One point of the graph: any reading may be unavailable, and is then absent, never zero.
struct SensorSample {
  double time_s = 0.0;  // on the sampler's monotonic clock
  std::optional<double> clock_mhz;
  std::optional<double> temp_c;
  std::optional<double> power_w;
  friend bool operator==(const SensorSample&, const SensorSample&) = default;
};

// nullopt for a value no working sensor gives: NaN, a clock not above zero or above 10 GHz,
// a temperature outside -40..150 °C, a power below zero or above 2 kW.
std::optional<double> plausible_clock_mhz(double mhz);
std::optional<double> plausible_temp_c(double celsius);
std::optional<double> plausible_power_w(double watts);
