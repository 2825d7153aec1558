#pragma once
// The one sensor sampling thread of a program. It reads every 0.5 s while a run is in
// progress and once more at each end of the measured phase; sensor queries that block (WMI,
// PDH) block only it. Callers never wait on a query: they post requests and copy what has
// been recorded, under a lock held only for the copy.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "system/sensor_recorder.h"
#include "system/sensor_source.h"

class SensorSampler {
 public:
  static constexpr double kInterval = 0.5;
  using Clock = std::function<double()>;  // monotonic seconds

  // The thread starts here and asks the source what it offers before anything else.
  explicit SensorSampler(std::unique_ptr<ISensorSource> source, Clock clock = steady_seconds);
  ~SensorSampler();
  SensorSampler(const SensorSampler&) = delete;
  SensorSampler& operator=(const SensorSampler&) = delete;

  // A new series: periodic reads start at once, the clock over `processors` (empty: all
  // usable ones), and the power supply is read once.
  void start_run(std::vector<unsigned> processors);
  void measured_phase_started();
  // The end read is taken and periodic reading stops; the record is then complete.
  void measured_phase_ended();
  // An abandoned run: periodic reading stops, the series stays for display.
  void stop_run();

  // Appends the samples of the current series from index `first` on to `out`; returns the
  // count recorded so far. A reader keeping its own copy also keeps `series()`: when it
  // changes, a new run began and the copy starts again from 0.
  std::size_t copy_samples(std::size_t first, std::vector<SensorSample>& out) const;
  std::uint64_t series() const;
  // The run's recorder once the end read is in; nullopt before.
  std::optional<SensorRecorder> finished() const;
  // The same, waiting for the end read (the runner, after its run).
  SensorRecorder wait_finished();
  std::optional<SensorOffer> offer() const;
  std::optional<bool> on_battery() const;

  static double steady_seconds();

 private:
  void loop();

  std::unique_ptr<ISensorSource> source_;
  const Clock clock_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable recorded_;
  // Requests, set by callers and taken by the thread.
  bool quit_ = false;
  bool running_ = false;
  bool start_requested_ = false, measured_start_requested_ = false, measured_end_requested_ = false;
  std::vector<unsigned> processors_;
  // What the thread recorded.
  SensorRecorder recorder_;
  std::uint64_t series_ = 0;
  std::optional<SensorOffer> offer_;
  std::optional<bool> on_battery_;
  std::thread thread_;  // last: started once everything above exists
};
