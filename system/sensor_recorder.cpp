#include "system/sensor_recorder.h"

#include <algorithm>

namespace {

// The energy a package used between two reads. A counter below its last value has wrapped
// at its range; without a known range, or past it, the interval gives nothing.
std::optional<std::uint64_t> energy_delta(const EnergyCounter& before, const EnergyCounter& after) {
  if (after.microjoules >= before.microjoules) return after.microjoules - before.microjoules;
  if (after.range_microjoules == 0 || before.microjoules > after.range_microjoules) return std::nullopt;
  return after.range_microjoules - before.microjoules + after.microjoules;
}

std::optional<double> total_delta(const std::vector<EnergyCounter>& before, const std::vector<EnergyCounter>& after) {
  // A package that appeared or vanished between reads makes the sum meaningless.
  if (before.empty() || before.size() != after.size()) return std::nullopt;
  double sum = 0.0;
  for (std::size_t i = 0; i < after.size(); ++i) {
    const auto d = energy_delta(before[i], after[i]);
    if (!d) return std::nullopt;
    sum += static_cast<double>(*d);
  }
  return sum;
}

}  // namespace

SensorSample SensorRecorder::add(double time_s, const SensorReadout& readout, SamplePoint point) {
  SensorSample sample{time_s, readout.clock_mhz, readout.temp_c, std::nullopt};
  if (!readout.energy.empty()) {
    const double seconds = time_s - last_energy_time_;
    const auto microjoules = total_delta(last_energy_, readout.energy);
    // A counter that did not move is frozen, not a package at rest: a package draws some
    // power at every moment, and RAPL counts it every millisecond.
    if (microjoules && *microjoules > 0.0 && seconds > 0.0) {
      sample.power_w = plausible_power_w(*microjoules / 1e6 / seconds);
      // The interval counts toward the phase when it ends inside it, after the start read.
      const bool in_phase = start_index_ && !end_index_ && point != SamplePoint::MeasuredStart;
      if (sample.power_w && in_phase) {
        measured_microjoules_ += *microjoules;
        measured_energy_seconds_ += seconds;
      }
    }
    last_energy_ = readout.energy;
    last_energy_time_ = time_s;
  }
  if (point == SamplePoint::MeasuredStart) {
    start_index_ = samples_.size();
    end_index_.reset();
    measured_microjoules_ = 0.0;
    measured_energy_seconds_ = 0.0;
  }
  samples_.push_back(sample);
  if (point == SamplePoint::MeasuredEnd && start_index_) end_index_ = samples_.size() - 1;
  return sample;
}

std::span<const SensorSample> SensorRecorder::measured_samples() const {
  if (!start_index_) return {};
  const std::size_t last = end_index_ ? *end_index_ : samples_.size() - 1;
  return std::span<const SensorSample>(samples_).subspan(*start_index_, last - *start_index_ + 1);
}

std::optional<double> SensorRecorder::measured_seconds() const {
  if (!start_index_ || !end_index_) return std::nullopt;
  return samples_[*end_index_].time_s - samples_[*start_index_].time_s;
}

SensorSummary SensorRecorder::summary(double score) const {
  SensorSummary s;
  double clock_sum = 0.0;
  int clocks = 0;
  for (const SensorSample& sample : measured_samples()) {
    if (sample.clock_mhz) {
      clock_sum += *sample.clock_mhz;
      ++clocks;
      s.clock_mhz_min = std::min(s.clock_mhz_min.value_or(*sample.clock_mhz), *sample.clock_mhz);
    }
    if (sample.temp_c) s.temp_c_max = std::max(s.temp_c_max.value_or(*sample.temp_c), *sample.temp_c);
  }
  if (clocks > 0) s.clock_mhz_avg = clock_sum / clocks;
  if (measured_energy_seconds_ > 0.0) {
    s.power_w_avg = measured_microjoules_ / 1e6 / measured_energy_seconds_;
    if (const auto seconds = measured_seconds()) s.energy_j = *s.power_w_avg * *seconds;
    if (*s.power_w_avg > 0.0 && score > 0.0) s.points_per_watt = score / *s.power_w_avg;
  }
  return s;
}
