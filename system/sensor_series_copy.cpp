#include "system/sensor_series_copy.h"

bool SensorSeriesCopy::update(const SensorSampler& sampler) {
  const std::uint64_t series = sampler.series();
  if (series == 0) return false;  // nothing recorded yet
  bool changed = false;
  if (series != series_) {
    samples_.clear();
    series_ = series;
    changed = true;
  }
  const std::size_t before = samples_.size();
  sampler.copy_samples(before, samples_);
  // A run that began between the two calls: the copied tail belongs to it, so start over next time.
  if (sampler.series() != series_) {
    samples_.clear();
    series_ = 0;
    return true;
  }
  return changed || samples_.size() != before;
}

void SensorSeriesCopy::clear() {
  samples_.clear();
  series_ = 0;
}
