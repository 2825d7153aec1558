#pragma once
// The frame rate while a run is in progress, chosen from what a frame costs on this machine.
// The run is timed: every CPU-second the window takes is one its workers do not get. A frame on
// a graphics card costs about a millisecond, so the window can draw at the full running rate;
// with software OpenGL (a virtual screen, a remote desktop) a frame can cost twenty, and the
// same rate would slow the run it shows by tens of percent. So the window keeps its drawing
// within a small share of the machine, and draws less often when frames are costly.
class FrameBudget {
 public:
  // The share of all hardware threads the window may use during a run.
  static constexpr double kShareOfMachine = 0.01;
  // Below this the window would look frozen; the cost then exceeds the share.
  static constexpr double kMinFps = 1.0;

  FrameBudget(int hardware_threads, double max_fps);

  // After an idle frame: the CPU seconds the interface thread and the whole process spent on it.
  // No worker runs while idle, so the difference is the graphics driver's own threads.
  void add_idle_frame(double interface_cpu, double process_cpu);
  // After a frame during a run: the interface thread's CPU seconds (the process's include the
  // workers). It includes the preview upload, which idle frames do not have.
  void add_running_frame(double interface_cpu);

  // The expected CPU seconds of one frame during a run.
  double frame_cost() const;
  // The rate that keeps frame_cost() within the share, between kMinFps and the maximum.
  double running_fps() const;

 private:
  static void blend(double& average, bool& seeded, double sample);

  double allowed_cpu_per_second_;
  double max_fps_;
  double idle_interface_ = 0, driver_threads_ = 0, running_interface_ = 0;
  bool idle_seeded_ = false, running_seeded_ = false;
};
