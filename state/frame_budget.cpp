#include "state/frame_budget.h"

#include <algorithm>

// Recent frames weigh most: a leaderboard request or a history load during one idle frame
// fades within a few frames.
static constexpr double kWeightOfNewSample = 0.2;

FrameBudget::FrameBudget(int hardware_threads, double max_fps)
    : allowed_cpu_per_second_(kShareOfMachine * std::max(1, hardware_threads)), max_fps_(max_fps) {}

void FrameBudget::blend(double& average, bool& seeded, double sample) {
  sample = std::max(0.0, sample);
  average = seeded ? average + (sample - average) * kWeightOfNewSample : sample;
  seeded = true;
}

void FrameBudget::add_idle_frame(double interface_cpu, double process_cpu) {
  bool interface_seeded = idle_seeded_;
  blend(idle_interface_, interface_seeded, interface_cpu);
  blend(driver_threads_, idle_seeded_, process_cpu - interface_cpu);
}

void FrameBudget::add_running_frame(double interface_cpu) { blend(running_interface_, running_seeded_, interface_cpu); }

double FrameBudget::frame_cost() const {
  return (running_seeded_ ? running_interface_ : idle_interface_) + driver_threads_;
}

double FrameBudget::running_fps() const {
  const double cost = frame_cost();
  const double max_fps = std::max(kMinFps, max_fps_);
  if (cost <= 0.0) return max_fps;
  return std::clamp(allowed_cpu_per_second_ / cost, kMinFps, max_fps);
}
