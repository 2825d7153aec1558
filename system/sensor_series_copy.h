#pragma once
// A reader's own copy of the sampler's current series, brought up to date by copying only the
// samples added since the last update: the window's graph keeps the whole run this way, and the
// runner's progress line its latest values. Never waits on a sensor query.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "system/sensor_sampler.h"

class SensorSeriesCopy {
 public:
  // Returns true when the copy changed. A new series (a new run) replaces the old one, or with
  // `append` follows it: a stress test's passes make one timeline.
  bool update(const SensorSampler& sampler, bool append = false);
  const std::vector<SensorSample>& samples() const { return samples_; }
  // The latest sample, or an empty one (every reading unavailable) before the first.
  SensorSample latest() const { return samples_.empty() ? SensorSample{} : samples_.back(); }
  void clear();

 private:
  std::vector<SensorSample> samples_;
  std::uint64_t series_ = 0;
  std::size_t series_begin_ = 0;  // where the current series starts in samples_
};
