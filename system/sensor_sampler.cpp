#include "system/sensor_sampler.h"

#include <chrono>

SensorSampler::SensorSampler(std::unique_ptr<ISensorSource> source, Clock clock)
    : source_(std::move(source)), clock_(std::move(clock)), thread_([this] { loop(); }) {}

SensorSampler::~SensorSampler() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

double SensorSampler::steady_seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void SensorSampler::start_run(std::vector<unsigned> processors) {
  {
    std::lock_guard lock(mutex_);
    processors_ = std::move(processors);
    start_requested_ = true;
    measured_start_requested_ = measured_end_requested_ = false;
  }
  wake_.notify_all();
}

void SensorSampler::measured_phase_started() {
  {
    std::lock_guard lock(mutex_);
    measured_start_requested_ = true;
  }
  wake_.notify_all();
}

void SensorSampler::measured_phase_ended() {
  {
    std::lock_guard lock(mutex_);
    measured_end_requested_ = true;
  }
  wake_.notify_all();
}

void SensorSampler::stop_run() {
  {
    std::lock_guard lock(mutex_);
    running_ = false;
    start_requested_ = measured_start_requested_ = measured_end_requested_ = false;
  }
  wake_.notify_all();
}

std::size_t SensorSampler::copy_samples(std::size_t first, std::vector<SensorSample>& out) const {
  std::lock_guard lock(mutex_);
  const auto& samples = recorder_.samples();
  for (std::size_t i = first; i < samples.size(); ++i) out.push_back(samples[i]);
  return samples.size();
}

std::uint64_t SensorSampler::series() const {
  std::lock_guard lock(mutex_);
  return series_;
}

std::optional<SensorRecorder> SensorSampler::finished() const {
  std::lock_guard lock(mutex_);
  if (start_requested_ || !recorder_.measured_phase_ended()) return std::nullopt;
  return recorder_;
}

SensorRecorder SensorSampler::wait_finished() {
  std::unique_lock lock(mutex_);
  recorded_.wait(lock, [this] { return !start_requested_ && !measured_end_requested_ && !running_; });
  return recorder_;
}

std::optional<SensorOffer> SensorSampler::offer() const {
  std::lock_guard lock(mutex_);
  return offer_;
}

std::optional<bool> SensorSampler::on_battery() const {
  std::lock_guard lock(mutex_);
  return on_battery_;
}

void SensorSampler::loop() {
  SensorOffer offer = source_->offer();
  std::unique_lock lock(mutex_);
  offer_ = std::move(offer);
  double next_read = 0.0;
  for (;;) {
    if (quit_) return;
    // One step: the most urgent request, or the periodic read when it is due.
    SamplePoint point = SamplePoint::Periodic;
    bool fresh = false;
    if (start_requested_) {
      start_requested_ = false;
      running_ = true;
      fresh = true;
    } else if (measured_start_requested_ && running_) {
      measured_start_requested_ = false;
      point = SamplePoint::MeasuredStart;
    } else if (measured_end_requested_ && running_) {
      point = SamplePoint::MeasuredEnd;
    } else if (!running_) {
      measured_end_requested_ = false;  // an end without a run has nothing to end
      recorded_.notify_all();
      wake_.wait(lock);
      continue;
    } else if (clock_() < next_read) {
      wake_.wait_for(lock, std::chrono::duration<double>(next_read - clock_()));
      continue;
    }
    const std::vector<unsigned> processors = processors_;
    lock.unlock();
    // The queries run without the lock: a caller copying samples never waits on them.
    std::optional<bool> battery;
    if (fresh) battery = source_->on_battery();
    const SensorReadout readout = source_->read(processors);
    const double now = clock_();
    lock.lock();
    if (fresh) {
      recorder_ = SensorRecorder{};
      ++series_;
      on_battery_ = battery;
    }
    recorder_.add(now, readout, point);
    next_read = now + kInterval;
    if (point == SamplePoint::MeasuredEnd) {
      measured_end_requested_ = false;
      running_ = false;
    }
    recorded_.notify_all();
  }
}
