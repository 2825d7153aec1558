#pragma once
// Caps the frame rate by sleeping the rest of each frame. Presenting with vertical sync does not
// pace the loop everywhere (a virtual X server with software OpenGL ignores it), and a loop that
// spins takes a core from the benchmark it is showing.
#include <chrono>
#include <optional>
#include <string>

struct FrameRates {
  double idle = 60.0;     // frames per second while no run is in progress
  double running = 30.0;  // while a run is in progress: the window competes with the workers
};

// The most frames per second while a run is in progress, unless STRELVIK_MAX_FPS asks for fewer;
// the window draws fewer when its frames are costly (state/frame_budget.h).
inline constexpr double kRunningFrameRate = 30.0;
inline constexpr int kMaxFrameRateLimit = 1000;

// STRELVIK_MAX_FPS: a whole number from 1 to kMaxFrameRateLimit. nullopt when unset; an error
// text for the user when set to anything else.
struct MaxFpsSetting {
  std::optional<int> value;
  std::string error;
};
MaxFpsSetting parse_max_fps(const char* text);

// The rates for a monitor refreshing at `refresh_hz` (0 or less when unknown: 60 Hz) and an
// optional cap from STRELVIK_MAX_FPS, which replaces the idle rate and bounds the running one.
FrameRates choose_frame_rates(int refresh_hz, std::optional<int> max_fps);

class FramePacer {
 public:
  using Clock = std::chrono::steady_clock;

  explicit FramePacer(FrameRates rates) : rates_(rates) {}

  // Sleeps until one frame interval (at the rate for `running`) has passed since the previous
  // frame began, then marks the new frame's start. A frame that overran starts at once, and the
  // schedule restarts from now instead of hurrying to catch up.
  void wait_for_next_frame(bool running);

  // When the next frame may begin, and the interval for a rate; exposed for tests.
  static Clock::time_point next_frame_start(Clock::time_point previous_start, Clock::time_point now, double fps);
  static Clock::duration interval(double fps);

  const FrameRates& rates() const { return rates_; }
  void set_running_rate(double fps) { rates_.running = fps; }

 private:
  FrameRates rates_;
  std::optional<Clock::time_point> frame_start_;
};
