#pragma once
// A run's sensor samples and the measured phase's summary, built from reads the caller makes:
// the sampler's thread in the programs, a test's own sequence of readouts otherwise. No clock,
// no thread, no files.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "system/sensor_sample.h"
#include "system/sensor_summary.h"

enum class SamplePoint {
  Periodic,
  MeasuredStart,  // the read at the first moment of the measured phase
  MeasuredEnd,    // the read at its last moment
};

class SensorRecorder {
 public:
  // Turns a read into a sample (power from the energy since the previous read that had
  // counters) and returns it.
  SensorSample add(double time_s, const SensorReadout& readout, SamplePoint point = SamplePoint::Periodic);

  const std::vector<SensorSample>& samples() const { return samples_; }
  // The samples from the measured phase's start read to its end read (or the latest).
  std::span<const SensorSample> measured_samples() const;
  std::optional<double> measured_seconds() const;  // once the end read is in
  bool measured_phase_ended() const { return end_index_.has_value(); }

  // Over the measured phase. Power is the energy of the intervals whose counters were read
  // at both ends, over their time; energy is that mean power over the whole phase, so a
  // sample whose file could not be read lowers neither. `score` gives points per watt.
  SensorSummary summary(double score) const;

 private:
  std::vector<SensorSample> samples_;
  std::optional<std::size_t> start_index_, end_index_;
  std::vector<EnergyCounter> last_energy_;
  double last_energy_time_ = 0.0;
  // The measured phase's energy intervals.
  double measured_microjoules_ = 0.0;
  double measured_energy_seconds_ = 0.0;
};
