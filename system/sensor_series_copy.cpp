#include "system/sensor_series_copy.h"

bool SensorSeriesCopy::update(const SensorSampler& sampler, bool append) {
  const std::uint64_t series = sampler.series();
  if (series == 0) return false;  // nothing recorded yet
  bool changed = false;
  if (series != series_) {
    if (!append) samples_.clear();
    series_begin_ = samples_.size();
    series_ = series;
    changed = true;
  }
  const std::size_t before = samples_.size();
  sampler.copy_samples(before - series_begin_, samples_);
  // A run that began between the two calls: the copied tail belongs to it, so take it again
  // from its start next time.
  if (sampler.series() != series_) {
    samples_.resize(before);
    series_ = 0;
    return true;
  }
  return changed || samples_.size() != before;
}

void SensorSeriesCopy::clear() {
  samples_.clear();
  series_ = 0;
  series_begin_ = 0;
}
